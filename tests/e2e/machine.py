"""A Wine machine for the whole-program scenarios: a fresh prefix with the
stand-in platform, its registry, its folders, the program started as the
task scheduler starts it, and a listener on the report port."""

import codecs
import os
import re
import socket
import struct
import subprocess
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TASK_STORE = r"HKEY_CURRENT_USER\Software\Nightshelf"
# What the first instance holds while it lives.
INSTANCE_MUTEX = "NightshelfMutex-088FA840-B10D-11D6-BC38-016067709674"


def wine_environment(prefix):
    env = dict(os.environ)
    env.update(LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8", WINEPREFIX=prefix,
               WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")
    env.setdefault("DISPLAY", ":77")
    return env


def unescape(text):
    """A string of a .reg file as regedit escapes it (backslash, quote, CR, LF, NUL)."""
    escapes = {"\\": "\\", '"': '"', "r": "\r", "n": "\n", "0": "\0"}
    return re.sub(r'\\(.)', lambda m: escapes.get(m.group(1), "\\" + m.group(1)), text)


class Machine:
    def __init__(self, name, arch, bin_dir, platforms="8.2,8.3"):
        self.arch = arch
        self.bin_dir = bin_dir
        root = os.environ.get("NS_WINE_ROOT", os.path.join(ROOT, "build", arch, "wine"))
        self.prefix = os.path.join(root, "e2e-" + name)
        args = [os.path.join(ROOT, "scripts", "wine-prefix"), self.prefix, "--arch", arch]
        if platforms:
            args += ["--platform", platforms]
        subprocess.run(args, check=True)
        self.env = wine_environment(self.prefix)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)
        self.work = self.path("C:\\e2e")
        os.makedirs(self.work, exist_ok=True)

    def restart_server(self, between=None):
        """Ends every Wine process of the prefix and its server, waits until
        the server is gone (a process started meanwhile would meet a dying
        one), does what it is given, and starts a lasting server again."""
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        if between:
            between()
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def close(self, keep=False):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        if not keep:
            subprocess.run(["rm", "-rf", self.prefix])

    # -- files -------------------------------------------------------------

    def path(self, windows_path):
        """The Linux path of a Windows path on drive C."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def temp_folder(self):
        users = os.path.join(self.prefix, "drive_c", "users")
        for user in os.listdir(users):
            for candidate in (os.path.join(users, user, "Temp"),
                              os.path.join(users, user, "AppData", "Local", "Temp")):
                if os.path.isdir(candidate) and user != "Public":
                    return candidate
        raise AssertionError("no temporary folder in " + users)

    # -- programs ----------------------------------------------------------

    def start(self, args, program="Nightshelf.exe"):
        """Starts a program of the build (as the scheduler would) and returns
        the Popen. Output goes to files: Wine's helpers keep pipes open."""
        log = os.path.join(self.work, "run-%d" % time.monotonic_ns())
        command = ["wine", os.path.join(self.bin_dir, program)] + list(args)
        with open(log + ".out", "wb") as out, open(log + ".err", "wb") as err:
            return subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)

    def last_error_output(self):
        """What the program started last wrote to its error output (Wine's
        trace included)."""
        runs = sorted(f for f in os.listdir(self.work) if f.startswith("run-") and f.endswith(".err"))
        with open(os.path.join(self.work, runs[-1]), "rb") as f:
            return f.read().decode("utf-8", "replace")

    def run(self, args, timeout=120, program="Nightshelf.exe"):
        process = self.start(args, program)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise

    def probe(self, *args):
        """Runs winprobe; returns its exit code and what it wrote."""
        out = os.path.join(self.work, "probe.txt")
        if os.path.exists(out):
            os.remove(out)
        code = self.run(list(args) + ["C:\\e2e\\probe.txt"], program="winprobe.exe")
        data = open(out, "rb").read() if os.path.exists(out) else b""
        return code, data.decode("cp1251")

    def wait_for_window(self, class_name, seconds=60):
        """Waits until the program has made its window (shown or not)."""
        assert self.run(["window", class_name, str(seconds)], timeout=seconds + 30, program="winprobe.exe") == 0, \
            "no %s window within %d s" % (class_name, seconds)

    def wait_for_mutex(self, name=INSTANCE_MUTEX, seconds=60):
        """Waits until a named mutex exists: the first instance's, by default."""
        assert self.run(["mutex", name, str(seconds)], timeout=seconds + 30, program="winprobe.exe") == 0, \
            "no mutex %s within %d s" % (name, seconds)

    def computer_name(self):
        code, name = self.probe("computer")
        assert code == 0 and name, (code, name)
        return name

    # -- registry ----------------------------------------------------------

    def import_registry(self, values):
        """values: {key path: {value name ("" = default): text}} written as
        REG_SZ through a Unicode .reg file, so every letter arrives exact."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, named in values.items():
            lines.append("[%s]" % key)
            for name, text in named.items():
                # Escaped as regedit escapes them: a raw line break would end
                # the value's line.
                quoted = (text.replace("\\", "\\\\").replace('"', '\\"')
                          .replace("\r", "\\r").replace("\n", "\\n"))
                lines.append(('@="%s"' % quoted) if name == "" else '"%s"="%s"' % (name, quoted))
            lines.append("")
        reg = os.path.join(self.work, "import.reg")
        with open(reg, "wb") as f:
            f.write(codecs.BOM_UTF16_LE + "\r\n".join(lines).encode("utf-16-le"))
        # Wine's regedit now and then ends with 1 on a file it takes the next
        # time (seen under load); a file it never takes still fails here.
        for attempt in range(3):
            with open(reg + ".err", "wb") as err:
                code = subprocess.run(["wine", "regedit", "/S", "C:\\e2e\\import.reg"], env=self.env,
                                      stdout=subprocess.DEVNULL, stderr=err).returncode
            if code == 0:
                return
        raise AssertionError("regedit did not import %s: %s" % (list(values), open(reg + ".err", "rb").read()))

    def add_task(self, name, launch_parameters, **values):
        self.import_registry({TASK_STORE + "\\" + name: dict({"": launch_parameters}, **values)})

    def set_servers(self, text):
        self.import_registry({TASK_STORE: {"Servers": text}})

    def read_registry(self, key=TASK_STORE):
        """{key path: {value name: text}} of the key and its sub-keys."""
        out = os.path.join(self.work, "export.reg")
        if os.path.exists(out):
            os.remove(out)
        subprocess.run(["wine", "regedit", "/E", "C:\\e2e\\export.reg", key], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.exists(out):
            return {}
        with open(out, "rb") as f:
            text = f.read().decode("utf-16")
        result, current = {}, None
        for line in text.replace("\\\r\n  ", "").splitlines():
            if line.startswith("[") and line.endswith("]"):
                current = result.setdefault(line[1:-1], {})
            elif current is not None and "=" in line:
                m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
                if not m:
                    continue
                name = "" if m.group(1) == "@" else unescape(m.group(2))
                data = m.group(3)
                if data.startswith('"'):
                    current[name] = unescape(data[1:-1])
                elif data.startswith("hex(1):") or data.startswith("hex(2):"):
                    raw = bytes(int(b, 16) for b in data.split(":", 1)[1].split(",") if b)
                    current[name] = raw.decode("utf-16-le").rstrip("\0")
                else:
                    current[name] = data
        return result

    def task_values(self, name):
        # Read through the whole store: a task's own key on regedit's command
        # line would pass its name (quotes, "<", tabs) through Wine's quoting.
        return self.read_registry().get(TASK_STORE + "\\" + name, {})


class ReportListener:
    """Receives Nightshelf's reports on 127.0.0.1, port 800: a 20-byte
    header (body length, sender name) and the body with its NUL."""

    def __init__(self, port=800):
        self.port = port
        self.markers = 0
        self.messages = []
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.sock.settimeout(0.2)
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            with conn:
                conn.settimeout(10)
                data = b""
                try:
                    while True:
                        chunk = conn.recv(65536)
                        if not chunk:
                            break
                        data += chunk
                except socket.timeout:
                    pass
                self.messages.append(data)

    def close(self):
        self.stopping = True
        self.thread.join()
        self.sock.close()

    def sync(self, seconds=60):
        """Returns once every message sent before the call has been read
        whole: a marker sent now through the same port is served after them,
        as connections are served one at a time in the order they came."""
        self.markers += 1
        marker = b"marker %d of the scenario" % self.markers
        with socket.create_connection(("127.0.0.1", self.port), timeout=seconds) as conn:
            conn.sendall(marker)
        deadline = time.monotonic() + seconds
        while marker not in self.messages:
            assert time.monotonic() < deadline, "the listener did not get the marker"
            time.sleep(0.05)
        self.messages.remove(marker)

    def wait_for(self, count, seconds=180):
        """Waits until `count` reports have arrived; returns them."""
        deadline = time.monotonic() + seconds
        while len(self.messages) < count:
            assert time.monotonic() < deadline, "%d of %d reports arrived" % (len(self.messages), count)
            time.sleep(0.1)
        return self.reports()

    def reports(self):
        """Each message that arrived so far as (sender, body text without its
        NUL), checking the framing on the way."""
        self.sync()
        result = []
        for data in list(self.messages):
            length, = struct.unpack("<I", data[:4])
            sender = data[4:20].split(b"\0", 1)[0].decode("cp1251")
            body = data[20:]
            assert len(body) == length, (len(body), length)
            assert body.endswith(b"\0") and b"\0" not in body[:-1]
            result.append((sender, body[:-1].decode("cp1251")))
        return result
