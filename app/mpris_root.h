// The desktop's view of the player as an application (MPRIS 2, org.mpris.MediaPlayer2): its
// name, its menu entry, what it opens, and the requests to come to the front or to quit.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace kivo {

class Kivo;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)

public:
    MprisRoot(Kivo& kivo, QObject* holder);

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList uriSchemes() const;
    QStringList mimeTypes() const;

public slots:
    void Raise();
    // What the close button does.
    void Quit();

private:
    Kivo& kivo_;
};

}  // namespace kivo
