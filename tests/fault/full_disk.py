#!/usr/bin/env python3
"""A full disk under Firefox's folder: each start and the cleanup, run
through pelorinctl.exe, keep the autoconfig file exactly as it was, leave no
temporary file, print which step failed on which file and report it; with
room again, the same command writes the new bytes.

The folder is a small tmpfs the test mounts itself, which needs root (CI runs
as root); a refused mount fails the test.

    full_disk.py --bin BUILD/bin --work DIR   (WINEPREFIX set, server up)
"""

import argparse
import os
import shutil
import subprocess
import sys
import unittest

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "sandbox"))

import wine  # noqa: E402

# Bytes left free, less than a rewrite of the autoconfig file needs. Wine
# reports a write that fills the disk as a short write that succeeded, and a
# write to a disk already full as ERROR_DISK_FULL: both must be refused.
FULL_DISKS = [("short write", 64 * 1024), ("failed write", 0)]

BANNER = " // Added by Corvane V2N\n"
PROXY = 'lockPref("network.proxy.type", 5);' + BANNER + 'lockPref("network.proxy.no_proxies_on", "");' + BANNER
ROOTS = 'lockPref("security.enterprise_roots.enabled", true);' + BANNER
CERTS = ('lockPref("security.use_mozillapkix_verification", false);' + BANNER +
         'lockPref("extensions.install.requireBuiltInCerts", false);' + BANNER)
SCOPES = 'defaultPref("extensions.autoDisableScopes", 0);' + BANNER + 'defaultPref("extensions.enabledScopes", 15);' + BANNER

CLEANED = "//\n" + "".join('pref("user.setting%06d", "a value of some length");\n' % n for n in range(4000))
# Each command in turn and the file it leaves; each finds the file the one
# before left, with lines to add or remove. DLP without the agent's inline
# proxy takes TOVK's proxy locks away.
COMMANDS = [(["start", "zarn"], CLEANED + CERTS + PROXY + ROOTS), (["cleanup"], CLEANED),
            (["start", "tovk"], CLEANED + PROXY + ROOTS), (["start", "dlp"], CLEANED + SCOPES + ROOTS)]
# Already what every start writes: the autoconfig file is the only file to write.
LOADER = ('// the administrator\'s\npref("general.config.obscure_value", 0);\n'
          'pref("general.config.filename", "cv_mozilla_V2N.cfg");\n')

ARGS = None


class FullDisk(unittest.TestCase):
    def setUp(self):
        self.install = os.path.join(os.path.abspath(ARGS.work), "firefox")
        self.cfg = os.path.join(self.install, "cv_mozilla_V2N.cfg")
        self.prefix = wine.WinePrefix(os.environ["WINEPREFIX"])
        self.ctl = os.path.join(ARGS.bin, "pelorinctl.exe")
        shutil.rmtree(ARGS.work, ignore_errors=True)
        os.makedirs(self.install)
        self.addCleanup(shutil.rmtree, ARGS.work, ignore_errors=True)
        mount = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", self.install],
                               stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if mount.returncode != 0:
            self.fail("cannot mount a tmpfs on %s (the test needs root): %s" % (self.install, mount.stderr.strip()))
        # Wine may still hold the folder open for a moment after a run.
        self.addCleanup(lambda: subprocess.run(["umount", "-l", self.install], stdin=subprocess.DEVNULL, check=True))
        os.makedirs(os.path.join(self.install, "defaults", "pref"))
        self.write("defaults/pref/!.js", LOADER)
        self.prefix.import_reg(wine.wipe_reg() + wine.registration_reg(self.install) +
                               "[HKEY_LOCAL_MACHINE\\%s]\n\"FFCFG\"=%s\n\n"
                               % (wine.AGENT_COMMON_KEY, wine.reg_string(wine.windows_path(self.cfg))))
        self.addCleanup(self.prefix.import_reg, wine.wipe_reg())

    def write(self, relative, text):
        with open(os.path.join(self.install, relative), "w", newline="\n") as f:
            f.write(text)

    def files(self):
        """The files below the install folder and the autoconfig file's text."""
        names = sorted(os.path.relpath(os.path.join(root, name), self.install)
                       for root, _dirs, files in os.walk(self.install) for name in files)
        with open(self.cfg, "rb") as f:
            return names, f.read().decode("utf-8")

    def test_each_command_keeps_the_old_file_on_a_full_disk_and_writes_the_new_one_with_room(self):
        names = ["cv_mozilla_V2N.cfg", os.path.join("defaults", "pref", "!.js")]
        failure = "%s: WriteFile failed with error 112" % wine.windows_path(self.cfg)
        old = CLEANED
        for args, new in COMMANDS:
            self.write("cv_mozilla_V2N.cfg", old)  # one command's failure does not carry over
            for disk, room_left in FULL_DISKS:
                with self.subTest(command=" ".join(args), disk=disk):
                    stats = os.statvfs(self.install)
                    self.write("filler", "\0" * (stats.f_bavail * stats.f_frsize - room_left))
                    code, text = self.prefix.run([self.ctl] + args, check=False)
                    os.remove(os.path.join(self.install, "filler"))
                    # The report names the file, and a fleet script sees a failure.
                    self.assertEqual((1, names, old), (code,) + self.files(), text)
                    self.assertIn(failure, text)
                    self.assertEqual(["SetFileContentW: WriteFile %s failed with error 112" % wine.windows_path(self.cfg)],
                                     [line for line in text.splitlines() if line.startswith("SetFileContentW")])
            with self.subTest(command=" ".join(args), disk="with room"):
                code, text = self.prefix.run([self.ctl] + args, check=False)
                self.assertEqual((0, names, new), (code,) + self.files(), text)
                self.assertNotIn("SetFileContentW", text)
            old = new


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding pelorinctl.exe")
    parser.add_argument("--work", required=True, help="scratch folder, removed at the end")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
