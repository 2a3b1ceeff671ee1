"""The program built with ThreadSanitizer through one ordinary session on a private desktop
(X display, sound server with a null sink, session bus): it plays a song given on the command
line, pauses, goes to the next song, stops and quits, driven by mouse clicks on its window and
by the desktop's media controls (which alone can stop). It passes when each step shows in the
player's state, the speakers play, the program ends with 0 and ThreadSanitizer reported
nothing (tools/tsan.supp says what is left out, and why).
    KIVO_PROGRAM=build-tsan-gui/bin/kivo KIVO_TEST_DATA=tests/data python3 under_tsan.py"""
import os, shutil, subprocess, sys, tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
from desktop import Desktop, Program, end_with_parent, wait_until
from test_kivo import AWAY, MAIN, PROGRAM, long_song

SUPPRESSIONS = Path(__file__).resolve().parents[2] / "tools" / "tsan.supp"
# Under ThreadSanitizer the program starts and answers some ten times slower.
PATIENCE = 60


class Session:
    def __init__(self, root):
        self.root = root
        self.desktop = Desktop(root / "desktop", "1280x800x24")
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                               stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
                               preexec_fn=end_with_parent)
        self.desktop.processes.append(bus)
        self.desktop.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.kivo = Program(self.desktop, PROGRAM, root / "installed")
        self.reports = root / "tsan"

    def start(self, songs):
        env = dict(LANG="C.UTF-8",
                   TSAN_OPTIONS=f"halt_on_error=0 log_path={self.reports} "
                                f"suppressions={SUPPRESSIONS}")
        self.main = self.kivo.start(env, [str(song) for song in songs], PATIENCE)

    def mpris(self, *call, check=False):
        """The reply to a call of the desktop's media controls (empty before they answer)."""
        return self.desktop.run("dbus-send", "--session", "--print-reply",
                                "--dest=org.mpris.MediaPlayer2.kivo", "/org/mpris/MediaPlayer2",
                                *call, check=check)

    def status(self):
        return self.mpris("org.freedesktop.DBus.Properties.Get",
                          "string:org.mpris.MediaPlayer2.Player", "string:PlaybackStatus")

    def song(self):
        return self.mpris("org.freedesktop.DBus.Properties.Get",
                          "string:org.mpris.MediaPlayer2.Player", "string:Metadata")

    def wait_for(self, status, song=None):
        wait_until(f"{status}" + (f" {song.name}" if song else ""),
                   lambda: f'"{status}"' in self.status() and
                   (song is None or song.name in self.song()), PATIENCE, 0.5)

    def click(self, control):
        x, y = MAIN[control]
        self.desktop.xdotool("mousemove", self.main[0] + x, self.main[1] + y, "click", 1,
                             "mousemove", *AWAY)

    def close(self):
        self.kivo.stop()
        self.desktop.close()


def main():
    root = Path(tempfile.mkdtemp(prefix="kivo-tsan-"))
    session = Session(root)
    try:
        songs = [root / "first.mp3", root / "second.mp3"]
        for song in songs:
            long_song(song)
        session.start(songs)
        session.wait_for("Playing", songs[0])
        assert session.desktop.record(1) > 300, "the speakers are silent"
        session.click("playButton")
        session.wait_for("Paused")
        session.click("nextButton")
        session.wait_for("Playing", songs[1])
        session.mpris("org.mpris.MediaPlayer2.Player.Stop", check=True)
        session.wait_for("Stopped")
        session.click("closeButton")
        code = session.kivo.process.wait(PATIENCE)
        assert code == 0, f"the program ended with {code}"
    finally:
        session.close()
        reports = sorted(root.glob("tsan.*"))
        for report in reports:
            sys.stdout.write(report.read_text())
        shutil.rmtree(root, ignore_errors=True)
    assert not reports, f"ThreadSanitizer reported in {len(reports)} process(es)"
    print("under ThreadSanitizer: played, paused, next, stopped and quit; no report")


if __name__ == "__main__":
    main()
