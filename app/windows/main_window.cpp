#include "main_window.h"

#include "skin.h"

namespace kivo {

MainWindow::MainWindow()
    : TemplateWindow(mainWindowTemplate(), nullptr),
      playerPanel(controls_.get<runtime::ShapeBox>("playerPanel")),
      animationStatusLabel(controls_.get<runtime::Label>("animationStatusLabel")),
      tipsStatusLabel(controls_.get<runtime::Label>("tipsStatusLabel")),
      playedLabel(controls_.get<runtime::Label>("playedLabel")),
      percentLabel(controls_.get<runtime::Label>("percentLabel")),
      modeLabel(controls_.get<runtime::Label>("modeLabel")),
      volumeButton(controls_.get<runtime::SuperBtn>("volumeButton")),
      nowPlayingFrame(controls_.get<runtime::ShapeBox>("nowPlayingFrame")),
      nowPlayingLabel(controls_.get<runtime::Label>("nowPlayingLabel")),
      progressBar(controls_.get<runtime::SuperBar>("progressBar")),
      previousButton(controls_.get<runtime::SuperBtn>("previousButton")),
      playButton(controls_.get<runtime::SuperBtn>("playButton")),
      nextButton(controls_.get<runtime::SuperBtn>("nextButton")),
      discPicture(controls_.get<runtime::PicBox>("discPicture")),
      statusPicture(controls_.get<runtime::PicBox>("statusPicture")),
      toolbarPanel(controls_.get<runtime::ShapeBox>("toolbarPanel")),
      animationButton(controls_.get<runtime::SuperBtn>("animationButton")),
      helpButton(controls_.get<runtime::SuperBtn>("helpButton")),
      tipsButton(controls_.get<runtime::SuperBtn>("tipsButton")),
      playlistToggleButton(controls_.get<runtime::SuperBtn>("playlistToggleButton")),
      playlistPanel(controls_.get<runtime::ShapeBox>("playlistPanel")),
      songCountLabel(controls_.get<runtime::Label>("songCountLabel")),
      songPositionLabel(controls_.get<runtime::Label>("songPositionLabel")),
      playlistCombo(controls_.get<runtime::ComboBox>("playlistCombo")),
      editButtonsPanel(controls_.get<runtime::ShapeBox>("editButtonsPanel")),
      locateButton(controls_.get<runtime::SuperBtn>("locateButton")),
      addButton(controls_.get<runtime::SuperBtn>("addButton")),
      deleteButton(controls_.get<runtime::SuperBtn>("deleteButton")),
      clearButton(controls_.get<runtime::SuperBtn>("clearButton")),
      saveButton(controls_.get<runtime::SuperBtn>("saveButton")),
      songListFrame(controls_.get<runtime::ShapeBox>("songListFrame")),
      songList(controls_.get<runtime::ListBox>("songList")),
      searchPanel(controls_.get<runtime::ShapeBox>("searchPanel")),
      searchEdit(controls_.get<runtime::EditBox>("searchEdit")),
      searchCloseButton(controls_.get<runtime::SuperBtn>("searchCloseButton")),
      openFileDialog(controls_.get<runtime::CommonDlg>("openFileDialog")),
      colorItemLabel(controls_.get<runtime::Label>("colorItemLabel")),
      colorItemCombo(controls_.get<runtime::ComboBox>("colorItemCombo")),
      colorLabel(controls_.get<runtime::Label>("colorLabel")),
      colorPicker(controls_.get<runtime::ColorPicker>("colorPicker")),
      searchButton(controls_.get<runtime::SuperBtn>("searchButton")),
      kugouButton(controls_.get<runtime::SuperBtn>("kugouButton")),
      volumePanel(controls_.get<runtime::ShapeBox>("volumePanel")),
      volumeSlider(controls_.get<runtime::SuperBar>("volumeSlider")),
      mutePanel(controls_.get<runtime::ShapeBox>("mutePanel")),
      muteButton(controls_.get<runtime::SuperBtn>("muteButton")),
      minimizeButton(controls_.get<runtime::SuperBtn>("minimizeButton")),
      closeButton(controls_.get<runtime::SuperBtn>("closeButton")),
      modeButton(controls_.get<runtime::SuperBtn>("modeButton")),
      decorPicture1(controls_.get<runtime::PicBox>("decorPicture1")),
      decorPicture2(controls_.get<runtime::PicBox>("decorPicture2")),
      tipBalloon(controls_.get<runtime::QTip>("tipBalloon")),
      systemVolume(controls_.get<runtime::SysVolume>("systemVolume")) {
    progressBar->setMinimumValue(0);
    progressBar->setMaximumValue(100);
    progressBar->setPosition(0);
    searchEdit->setTextColour(kPlaceholderColour);
    // The percentage sits centred, clear of the "已播放：" before it.
    percentLabel->setAlignment(Qt::AlignCenter);
    for (runtime::ShapeBox* panel :
         {playerPanel, toolbarPanel, playlistPanel, volumePanel, searchPanel, mutePanel}) {
        panel->setBorderColour(kSkinBorder);
        panel->setFillColour(kSkinPanelFill);
    }
    for (runtime::ShapeBox* frame : {nowPlayingFrame, songListFrame, editButtonsPanel}) {
        frame->setBorderColour(kSkinBorder);
        frame->setFillColour(kSkinInnerFill);
    }
    keepVolumeButtonOnTop();
}

void MainWindow::keepVolumeButtonOnTop() {
    // The volume panel opens over the speaker button that opens it. The button shows through
    // a hole in the panel and takes its own clicks, so a second click closes the panel instead
    // of paging the slider; the slider's thumb runs below the hole.
    const QRect button(volumeButton->mapTo(this, QPoint()) - volumePanel->pos(),
                       volumeButton->size());
    volumePanel->setMask(QRegion(volumePanel->rect()).subtracted(button));
    const int hidden = button.bottom() + 1 - volumeSlider->y();
    if (hidden > 0) volumeSlider->setContentsMargins(0, hidden, 0, 0);
}

}  // namespace kivo
