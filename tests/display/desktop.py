"""A private desktop for the real program: an X display (Xvfb) with a compositor, a sound server
with one null sink, and the installed program on it. Input goes in only through xdotool; what
the user sees and hears comes back only through screenshots, OCR, window lists, the sink and
the files on disk."""
import ctypes, difflib, os, re, select, shutil, signal, subprocess, time
from pathlib import Path

SINK = "kivo_null"


def end_with_parent():
    """In a child before it runs: it gets SIGTERM when the suite's process goes, however."""
    ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(what, probe, timeout=10.0, every=0.1):
    """The first true value of `probe()`, polled until `timeout` seconds have passed."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            if not value:
                raise AssertionError(f"timed out after {timeout} s waiting for {what}")
            return value
        time.sleep(every)


def normalised(text):
    return re.sub(r"[\s~～.。，,!！|]", "", text)


def resembles(seen, expected, at_least=0.6):
    """Whether OCR'd text holds `expected` with a tolerance for misread characters."""
    seen, expected = normalised(seen), normalised(expected)
    if expected in seen:
        return True
    matcher = difflib.SequenceMatcher(None, seen, expected, autojunk=False)
    return sum(b.size for b in matcher.get_matching_blocks()) >= at_least * len(expected)


class Desktop:
    def __init__(self, root, size="1280x800x24"):
        self.root, self.processes, self.types = Path(root), [], {}
        self.width, self.height = map(int, size.split("x")[:2])
        read, write = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", size, "-nolisten", "tcp"],
                    pass_fds=(write,))
        os.close(write)
        # The server writes its number, then a line end, once it takes clients; the pipe stays
        # open, as a server writing into a closed pipe would die.
        self.numberPipe, number = read, b""
        while not number.endswith(b"\n") and select.select([read], [], [], 20)[0]:
            number += os.read(read, 32) or b"\n"
        number = number.decode().strip()
        assert number, "Xvfb did not start"
        pulse = self.root / "pulse"
        (pulse / "runtime").mkdir(parents=True)
        os.chmod(pulse / "runtime", 0o700)
        (pulse / "client.conf").write_text("autospawn = no\n")
        (pulse / "default.pa").write_text(
            f"load-module module-native-protocol-unix auth-anonymous=1 socket={pulse}/native\n"
            f"load-module module-null-sink sink_name={SINK} rate=44100 channels=2 norewinds=1\n"
            f"set-default-sink {SINK}\n")
        self.env = dict(os.environ, DISPLAY=":" + number, QT_QPA_PLATFORM="xcb",
                        XDG_RUNTIME_DIR=str(pulse / "runtime"), PULSE_SERVER=f"unix:{pulse}/native",
                        PULSE_CLIENTCONFIG=str(pulse / "client.conf"), HOME=str(pulse))
        self.env.pop("WAYLAND_DISPLAY", None)
        self._spawn(["pulseaudio", "-n", "-F", str(pulse / "default.pa"), "--daemonize=no",
                     "--exit-idle-time=-1", f"--log-target=file:{pulse}/log"])
        wait_until("the sound server", lambda: (pulse / "native").exists(), 15)
        self.compositor = None
        self.composite(True)

    def _spawn(self, argv, **kw):
        process = subprocess.Popen(argv, env=getattr(self, "env", None), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   preexec_fn=end_with_parent, **kw)
        self.processes.append(process)
        return process

    def composite(self, on):
        if on and not self.compositor:
            self.compositor = self._spawn(["xcompmgr"])
        elif not on and self.compositor:
            self.compositor.terminate()
            self.compositor.wait(5)
            self.compositor = None

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        os.close(self.numberPipe)

    # --- tools run on this desktop ---
    def run(self, *argv, check=True):
        done = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)
        if check and done.returncode != 0:
            raise AssertionError(f"{argv[0]} failed: {done.stderr.strip()}")
        return done.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *map(str, args))

    def windows(self, name, kind="NORMAL"):
        """The visible windows of the program `name` of one window type (NORMAL, DIALOG,
        TOOLTIP, POPUP_MENU, COMBO...): a list of (x, y, width, height), oldest first."""
        found = []
        shell = self.run("xdotool", "search", "--onlyvisible", "--classname", name,
                         "getwindowgeometry", "--shell", "%@", check=False)
        geometry = r"WINDOW=(\d+)\s+X=(-?\d+)\s+Y=(-?\d+)\s+WIDTH=(\d+)\s+HEIGHT=(\d+)"
        for block in re.findall(geometry, shell):
            wid = block[0]
            if wid not in self.types:  # a window keeps its type
                self.types[wid] = self.run("xprop", "-id", wid, "_NET_WM_WINDOW_TYPE", check=False)
            # The first type is what the window is (frameless ones name KDE's override first).
            if re.search(f"= (_KDE_\\w+, )?_NET_WM_WINDOW_TYPE_{kind}\\b", self.types[wid]):
                found.append(tuple(map(int, block[1:])))
        return found

    def sink_volume(self):
        """The null sink's volume in percent (left channel)."""
        return int(re.search(r"(\d+)%", self.run("pactl", "get-sink-volume", SINK)).group(1))

    def record(self, seconds):
        """The peak of what the sink plays during `seconds` (0 = silence), from its monitor."""
        raw = subprocess.run(["timeout", str(seconds), "parec", f"--device={SINK}.monitor",
                              "--raw", "--format=s16le", "--channels=1", "--rate=8000"],
                             env=self.env, capture_output=True).stdout
        samples = memoryview(raw[: len(raw) // 2 * 2]).cast("h")
        return max((abs(s) for s in samples), default=0)


class Screen:
    """Screenshots of the desktop, kept as artefacts, read back as pixels and as text."""

    def __init__(self, desktop, artefacts):
        self.desktop, self.artefacts = desktop, Path(artefacts)
        self.artefacts.mkdir(parents=True, exist_ok=True)
        self.count = 0
        self.x = XScreen(desktop.env["DISPLAY"])
        self.reader = TextReader()

    def shot(self, name, box=None):
        """A screenshot of the screen, or of `box` on it, kept in order under `name`."""
        self.count += 1
        path = self.artefacts / f"{self.count:03d}-{name}.png"
        x, y, w, h = box or (0, 0, self.desktop.width, self.desktop.height)
        subprocess.run(["import", "-silent", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}",
                        "+repage", str(path)], env=self.desktop.env, check=True)
        return path

    def pixels(self, box):
        """The RGB triples of `box` (x, y, w, h), row by row."""
        raw = self.x.grab(box)  # blue, green, red and a spare byte per pixel
        return list(zip(raw[2::4], raw[1::4], raw[0::4]))

    def look(self, box):
        """How `box` looks in black and white: enough to tell one balloon from another."""
        return Look(self.x.grab(box), box)

    def read(self, look):
        """What tesseract reads in a look: twice the size, black ink on white."""
        w, h = look.box[2:]
        ink = subprocess.run(["convert", "-size", f"{w}x{h}", "-depth", "8", "bgra:-",
                              "-alpha", "off", "-resize", "200%", "-colorspace", "Gray",
                              "-threshold", "60%", "gray:-"],
                             input=look.raw, capture_output=True, check=True).stdout
        return self.reader.read(ink, 2 * w, 2 * h)

    def text(self, box):
        """What tesseract reads in `box` now."""
        return self.read(self.look(box))


class Look(bytes):
    """One byte per pixel, 255 where the screen is light (paper), with the grab it came from."""
    LIGHT = bytes([0] * 153 + [255] * 103)

    def __new__(cls, raw, box):
        look = super().__new__(cls, raw[0::4].translate(cls.LIGHT))
        look.raw, look.box = raw, box
        return look


class TextReader:
    """Tesseract's Chinese model (it reads Latin letters as well), loaded once: loading takes
    most of a second, reading a balloon a fraction of that."""

    def __init__(self):
        os.environ.setdefault("OMP_THREAD_LIMIT", "1")
        try:
            import tesserocr
            self.api = tesserocr.PyTessBaseAPI(lang="chi_sim", psm=tesserocr.PSM.SINGLE_BLOCK)
        except ImportError:  # without Debian's binding: the command-line program
            self.api = None

    def read(self, grey, width, height):
        if self.api:
            self.api.SetImageBytes(grey, width, height, 1, width)
            return self.api.GetUTF8Text()
        header = f"P5\n{width} {height}\n255\n".encode()
        return subprocess.run(["tesseract", "-", "-", "-l", "chi_sim", "--psm", "6"],
                              input=header + grey, capture_output=True).stdout.decode()


class XScreen:
    """Parts of the X screen read straight from the server: a grab by a program of its own
    takes the whole screen each time, several hundred times slower."""

    class Image(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                    ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                    ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                    ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                    ("bits_per_pixel", ctypes.c_int)]

    def __init__(self, display):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.lib.XGetImage.restype = ctypes.POINTER(self.Image)
        self.lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
            [ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]
        self.lib.XDestroyImage.argtypes = [ctypes.POINTER(self.Image)]
        self.display = self.lib.XOpenDisplay(display.encode())
        assert self.display, f"cannot open the display {display}"
        self.root = self.lib.XDefaultRootWindow(self.display)

    def grab(self, box):
        x, y, w, h = box
        image = self.lib.XGetImage(self.display, self.root, x, y, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        assert image and image.contents.bits_per_pixel == 32, "a 24-bit screen expected"
        raw = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * h)
        self.lib.XDestroyImage(image)
        return raw


class Program:
    """The built player installed in a folder of its own, under a name of its own so that no
    other copy on this machine counts as a running copy of it."""

    def __init__(self, desktop, built, root):
        self.desktop, self.root = desktop, Path(root)
        self.name = f"kivo-display-{os.getpid()}"
        bindir = self.root / "bin"
        bindir.mkdir(parents=True)
        shutil.copy2(built, bindir / self.name)
        share = Path(built).resolve().parent.parent / "share"
        if share.is_dir():
            shutil.copytree(share, self.root / "share")
        self.path, self.music = bindir / self.name, bindir / "music"
        self.process = None

    def start(self, env=None, args=(), patience=30):
        home = self.root / "home"
        (home / "tmp").mkdir(parents=True, exist_ok=True)
        self.env = dict(self.desktop.env, HOME=str(home), TMPDIR=str(home / "tmp"),
                        XDG_DATA_HOME=str(home / "data"), **(env or {}))
        self.log = open(self.root / "program.log", "a")
        self.process = subprocess.Popen([str(self.path), *args], env=self.env, cwd=self.root,
                                        stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT, preexec_fn=end_with_parent)
        return wait_until("the main window", lambda: self.window((476, 510)), patience)

    def window(self, size=None, kind="NORMAL"):
        """The visible window of this size (any size: the newest) as (x, y, w, h), or None."""
        found = [w for w in self.desktop.windows(self.name, kind) if not size or w[2:] == size]
        return found[-1] if found else None

    def stop(self):
        if self.process:
            self.log.close()
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
