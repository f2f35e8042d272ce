"""Wine prefix helpers: registry set-up, a Windows service, and runs of
pelorinctl.exe, each bounded in time.

Wine's background processes (wineserver, services.exe) inherit the handles of
the process that started them, so a pipe handed to wine may never reach end
of file. Every wine run here writes to a temporary file instead.
"""

import os
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_PREFIX_SCRIPT = os.path.join(ROOT, "scripts", "wine-prefix")

BROWSER_LIST_KEY = r"SOFTWARE\WOW6432Node\Clients\StartMenuInternet"
FIREFOX_KEY = BROWSER_LIST_KEY + r"\FIREFOX.EXE"
AGENT_KEY = r"SOFTWARE\Tervia\Agent"
AGENT_COMMON_KEY = AGENT_KEY + r"\Common"
POLICY_KEY = r"SOFTWARE\Policies\Mozilla\Firefox"
SERVICE_NAME = "cvtelonetworksvc"
DLP_ADDON_ID = "dlp@tervia.com"


class WineError(Exception):
    pass


def windows_path(path):
    """Wine's Z: drive is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def reg_string(text):
    """A REGEDIT4 string literal."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class WinePrefix:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

    def up(self, timeout=300):
        subprocess.run([WINE_PREFIX_SCRIPT, "up", self.path], env=self.env, check=True, timeout=timeout,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def down(self, timeout=60):
        subprocess.run([WINE_PREFIX_SCRIPT, "down", self.path], env=self.env, timeout=timeout,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, args, timeout=60, check=True):
        """Runs `wine ARGS`; returns (exit code, combined output)."""
        with tempfile.TemporaryFile() as out:
            process = subprocess.Popen(["wine"] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=subprocess.STDOUT)
            try:
                code = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise WineError("wine %s did not finish within %d s" % (" ".join(args), timeout))
            out.seek(0)
            text = out.read().decode("utf-8", "replace").replace("\r\n", "\n")
        if check and code != 0:
            raise WineError("wine %s exited with %d:\n%s" % (" ".join(args), code, text))
        return code, text

    def import_reg(self, body):
        """Applies one REGEDIT4 text with a single regedit run."""
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="ascii") as f:
            f.write("REGEDIT4\n\n" + body)
            name = f.name
        try:
            self.run(["regedit", "/S", windows_path(name)])
        finally:
            os.remove(name)

    def query_value(self, key, name):
        """The value's text as `reg query` prints it, or None."""
        code, text = self.run(["reg", "query", "HKLM\\" + key, "/v", name], check=False)
        if code != 0:
            return None
        for line in text.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    def start_service(self, name, exe):
        self.run(["cmd", "/c", 'sc create %s binPath= "%s" & sc start %s' % (name, windows_path(exe), name)])
        code, text = self.run(["sc", "query", name], check=False)
        if "RUNNING" not in text:
            raise WineError("service %s did not start:\n%s" % (name, text))

    def delete_service(self, name):
        self.run(["cmd", "/c", "sc stop %s & sc delete %s" % (name, name)], check=False)


def registration_reg(install_dir):
    """Firefox's start-menu registration, as its installer writes it."""
    command = '"%s\\firefox.exe"' % windows_path(install_dir)
    return "[HKEY_LOCAL_MACHINE\\%s\\shell\\open\\command]\n@=%s\n\n" % (FIREFOX_KEY, reg_string(command))


def agent_reg(agent_dir):
    """The agent's key with its install folder (ending in a backslash) and
    the Common key the library records into."""
    return ("[HKEY_LOCAL_MACHINE\\%s]\n\"InstallPath\"=%s\n\n[HKEY_LOCAL_MACHINE\\%s]\n\n"
            % (AGENT_KEY, reg_string(windows_path(agent_dir) + "\\"), AGENT_COMMON_KEY))


def blocked_addon_policy_reg():
    policy = '{"%s": {"installation_mode": "blocked"}}' % DLP_ADDON_ID
    return "[HKEY_LOCAL_MACHINE\\%s]\n\"ExtensionSettings\"=%s\n\n" % (POLICY_KEY, reg_string(policy))


def wipe_reg():
    """Removes every key this sandbox may have written."""
    return "".join("[-HKEY_LOCAL_MACHINE\\%s]\n\n" % key
                   for key in (FIREFOX_KEY, r"SOFTWARE\Tervia", r"SOFTWARE\Policies\Mozilla"))


class Pelorinctl:
    def __init__(self, prefix, exe):
        self.prefix = prefix
        self.exe = exe

    def __call__(self, *args, timeout=60, check=True):
        return self.prefix.run([self.exe] + list(args), timeout=timeout, check=check)[1]
