"""A private copy of Debian's Firefox ESR, started headless, asked over
Marionette what it made of its preference files.

Linux Firefox reads defaults/pref, the loader's general.config.filename and
the autoconfig file exactly as the Windows build does, so a copy of its
install directory stands in for the Windows install that Pelorin edits
through Wine's Z: drive.
"""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import json
import time
from collections import namedtuple

from marionette import Marionette, MarionetteError

DEBIAN_FIREFOX = "/usr/lib/firefox-esr"
BINARY = "firefox-esr"

# What the library writes into the autoconfig file, then the two loader prefs.
LIBRARY_PREFS = (
    "network.proxy.type",
    "network.proxy.no_proxies_on",
    "security.enterprise_roots.enabled",
    "security.use_mozillapkix_verification",
    "extensions.install.requireBuiltInCerts",
    "extensions.autoDisableScopes",
    "extensions.enabledScopes",
)
LOADER_PREFS = ("general.config.filename", "general.config.obscure_value")

# value is None when Firefox has no such preference.
Pref = namedtuple("Pref", "value locked default user")


class FirefoxError(Exception):
    pass


def copy_install(dest, source=DEBIAN_FIREFOX):
    """Copies the install directory. Debian links parts of it (distribution,
    browser/chrome, browser/defaults) relatively into /usr/share; those links
    would dangle in the copy, so they are pointed back at the originals."""
    if os.path.lexists(dest):
        shutil.rmtree(dest)
    subprocess.run(["cp", "-a", source, dest], check=True)
    for root, dirs, files in os.walk(dest):
        for name in dirs + files:
            link = os.path.join(root, name)
            if os.path.islink(link) and not os.path.exists(link):
                original = os.path.join(source, os.path.relpath(link, dest))
                target = os.path.realpath(original)
                os.remove(link)
                os.symlink(target, link)
    return dest


def reset_install(dest, source=DEBIAN_FIREFOX):
    """Puts back defaults/pref and the linked folders a test made private,
    and removes every top-level file the original lacks (autoconfig files),
    without copying the whole install again."""
    pref_dir = os.path.join(dest, "defaults", "pref")
    shutil.rmtree(pref_dir)
    shutil.copytree(os.path.join(source, "defaults", "pref"), pref_dir, symlinks=True)
    for relative in LINKED_FOLDERS:
        folder = os.path.join(dest, relative)
        if os.path.isdir(folder) and not os.path.islink(folder):
            shutil.rmtree(folder)
            os.symlink(os.path.realpath(os.path.join(source, relative)), folder)
    for name in os.listdir(dest):
        path = os.path.join(dest, name)
        if not os.path.lexists(os.path.join(source, name)):
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)


# Debian links these to folders every Firefox of the machine reads: a copy
# gets private ones before a test writes into them.
LINKED_FOLDERS = ("distribution", os.path.join("browser", "defaults"))


def write_bytes(install_dir, relative, data):
    """Writes a file of the copy, making a linked folder on its way private."""
    for folder in LINKED_FOLDERS:
        linked = os.path.join(install_dir, folder)
        if relative.startswith(folder.replace(os.sep, "/") + "/") and os.path.islink(linked):
            target = os.path.realpath(linked)
            os.remove(linked)
            shutil.copytree(target, linked)
    path = os.path.join(install_dir, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def version(install_dir):
    """The Version line of the copy's application.ini."""
    with open(os.path.join(install_dir, "application.ini")) as f:
        for line in f:
            if line.startswith("Version="):
                return line.strip().split("=", 1)[1]
    return "unknown"


def write_policies(install_dir, policies):
    """Writes distribution/policies.json."""
    write_bytes(install_dir, "distribution/policies.json", json.dumps({"policies": policies}).encode())


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# Keeps Firefox quiet and off the network: no updates, telemetry, remote
# settings, region lookup or first-run pages. None of these touches a
# preference the library writes.
QUIET_PREFS = (
    ("app.update.disabledForTesting", True),
    ("app.normandy.enabled", False),
    ("browser.aboutwelcome.enabled", False),
    ("browser.newtabpage.enabled", False),
    ("browser.region.network.url", ""),
    ("browser.region.update.enabled", False),
    ("browser.safebrowsing.downloads.enabled", False),
    ("browser.safebrowsing.malware.enabled", False),
    ("browser.safebrowsing.phishing.enabled", False),
    ("browser.safebrowsing.provider.mozilla.updateURL", ""),
    ("browser.search.update", False),
    ("browser.shell.checkDefaultBrowser", False),
    ("browser.startup.homepage_override.mstone", "ignore"),
    ("browser.startup.page", 0),
    ("browser.topsites.contile.enabled", False),
    ("captivedetect.canonicalURL", ""),
    ("datareporting.healthreport.uploadEnabled", False),
    ("datareporting.policy.dataSubmissionEnabled", False),
    ("extensions.blocklist.enabled", False),
    ("extensions.getAddons.cache.enabled", False),
    ("extensions.update.enabled", False),
    ("media.gmp-manager.updateEnabled", False),
    ("network.captive-portal-service.enabled", False),
    ("network.connectivity-service.enabled", False),
    ("network.dns.disablePrefetch", True),
    ("network.http.speculative-parallel-limit", 0),
    ("network.predictor.enabled", False),
    ("network.prefetch-next", False),
    ("network.trr.mode", 5),
    ("services.settings.server", "data:,#remote-settings-dummy/v1"),
    ("toolkit.telemetry.enabled", False),
    ("toolkit.telemetry.server", ""),
)

# Whatever still tries to connect goes, through the system proxy setting that
# Firefox keeps by default, to a closed loopback port.
DEAD_PROXY = "http://127.0.0.1:9/"


def _user_pref(name, value):
    return "user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value))


_READ_PREFS = """
const [names] = arguments;
const prefs = Services.prefs;
const defaults = prefs.getDefaultBranch("");
function read(branch, name) {
  try {
    switch (branch.getPrefType(name)) {
      case prefs.PREF_BOOL: return branch.getBoolPref(name);
      case prefs.PREF_INT: return branch.getIntPref(name);
      case prefs.PREF_STRING: return branch.getStringPref(name);
    }
  } catch (e) {}
  return null;
}
return names.map(name => [name, read(prefs, name), prefs.prefIsLocked(name),
                          read(defaults, name), prefs.prefHasUserValue(name)]);
"""


class Firefox:
    """One headless run of the Firefox copy on a fresh profile.

    Use as a context manager; the process is always stopped on exit. Every
    wait is bounded: a broken autoconfig file makes Firefox block on a modal
    error before Marionette comes up, which shows here as a FirefoxError.
    """

    def __init__(self, install_dir, work_dir, timeout=45.0):
        self.install_dir = install_dir
        self.work_dir = work_dir
        self.timeout = timeout
        self.process = None
        self.client = None
        self.profile = None
        self.log_path = None

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        os.makedirs(self.work_dir, exist_ok=True)
        self.profile = tempfile.mkdtemp(prefix="profile-", dir=self.work_dir)
        port = free_port()
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            # Marionette's recommended prefs would give extensions.enabledScopes
            # a user value and hide what a defaultPref line did.
            f.write('user_pref("remote.prefs.recommended", false);\n')
            # Autoconfig errors then reach the log below.
            f.write('user_pref("devtools.console.stdout.chrome", true);\n')
            f.write(_user_pref("marionette.port", port))
            for name, value in QUIET_PREFS:
                f.write(_user_pref(name, value))
        self.log_path = os.path.join(self.profile, "firefox.log")
        env = dict(os.environ, MOZ_HEADLESS="1", MOZ_CRASHREPORTER_DISABLE="1")
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "no_proxy", "NO_PROXY"):
            env.pop(name, None)
        for name in ("http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"):
            env[name] = DEAD_PROXY
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [os.path.join(self.install_dir, BINARY), "--headless", "--marionette",
                 "-remote-allow-system-access", "--no-remote", "--profile", self.profile],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                env=env, start_new_session=True)
        deadline = time.monotonic() + self.timeout
        while True:
            if self.process.poll() is not None:
                raise FirefoxError("Firefox exited with %d before Marionette came up\n%s"
                                   % (self.process.returncode, self.log_tail()))
            try:
                self.client = Marionette(port, timeout=min(2.0, max(0.1, deadline - time.monotonic())))
                break
            except (MarionetteError, OSError):
                if time.monotonic() >= deadline:
                    raise FirefoxError("Firefox did not come up within %.0f s (blocked on an "
                                       "autoconfig error?)\n%s" % (self.timeout, self.log_tail()))
        self.client.set_timeout(max(1.0, deadline - time.monotonic()))
        try:
            self.client.start_chrome_session()
        except (MarionetteError, OSError) as e:
            raise FirefoxError("Marionette session failed: %s\n%s" % (e, self.log_tail()))

    def read_prefs(self, names=LIBRARY_PREFS + LOADER_PREFS):
        rows = self.client.execute(_READ_PREFS, [list(names)])
        return {name: Pref(value, locked, default, user) for name, value, locked, default, user in rows}

    def log_tail(self, lines=30):
        try:
            with open(self.log_path, "rb") as f:
                text = f.read().decode("utf-8", "replace")
        except OSError:
            return ""
        return "\n".join(text.splitlines()[-lines:])

    def stop(self):
        if self.client is not None:
            self.client.close()
            self.client = None
        if self.process is not None:
            # The group holds Firefox's content processes and crash helper
            # too; its id is the id of the process started above.
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(self.process.pid, sig)
                except ProcessLookupError:
                    break
                try:
                    self.process.wait(5.0)
                except subprocess.TimeoutExpired:
                    pass
            self.process = None
        if self.profile is not None:
            shutil.rmtree(self.profile, ignore_errors=True)
            self.profile = None


def format_value(value):
    if value is None:
        return "(not set)"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, str):
        return '"%s"' % value
    return str(value)


def format_table(prefs):
    width = max(len(name) for name in prefs)
    lines = ["%-*s  %-22s  %s" % (width, "preference", "value", "locked")]
    for name, pref in prefs.items():
        lines.append("%-*s  %-22s  %s" % (width, name, format_value(pref.value), "locked" if pref.locked else "-"))
    return "\n".join(lines)
