#!/usr/bin/env python3
"""A full disk under Firefox's folder: each start and the cleanup, run
through pelorinctl.exe, leave the autoconfig file exactly as it was, leave no
temporary file and print which step failed on which file; with room again,
the same command writes the new bytes.

The folder is a small tmpfs the test mounts itself, which needs root (CI runs
as root); a refused mount fails the test.

    full_disk.py --bin BUILD/bin --work DIR   (WINEPREFIX set, server up)
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "sandbox"))

import wine  # noqa: E402

ERROR_DISK_FULL = 112
TMPFS_SIZE = "2m"
# Bytes left free, less than a rewrite of the autoconfig file needs. Wine
# reports a write that fills the disk as a short write that succeeded, and a
# write to a disk already full as ERROR_DISK_FULL: both must be refused.
FULL_DISKS = [("short write", 64 * 1024), ("failed write", 0)]

# The library's lines as Firefox is to see them, written out by hand.
PKIX = 'lockPref("security.use_mozillapkix_verification", false); // Added by Corvane V2N\n'
BUILTIN_CERTS = 'lockPref("extensions.install.requireBuiltInCerts", false); // Added by Corvane V2N\n'
PROXY_TYPE = 'lockPref("network.proxy.type", 5); // Added by Corvane V2N\n'
NO_PROXIES = 'lockPref("network.proxy.no_proxies_on", ""); // Added by Corvane V2N\n'
ROOTS = 'lockPref("security.enterprise_roots.enabled", true); // Added by Corvane V2N\n'
AUTO_DISABLE = 'defaultPref("extensions.autoDisableScopes", 0); // Added by Corvane V2N\n'
ENABLED_SCOPES = 'defaultPref("extensions.enabledScopes", 15); // Added by Corvane V2N\n'

CLEANED = "//\n" + "".join('pref("user.setting%06d", "a value of some length");\n' % n for n in range(4000))
# Each command in turn and the file it leaves behind; each finds the file the
# one before left, with lines to add or remove. DLP without the agent's inline
# proxy takes TOVK's proxy locks away.
COMMANDS = [
    (["start", "zarn"], CLEANED + PKIX + BUILTIN_CERTS + PROXY_TYPE + NO_PROXIES + ROOTS),
    (["cleanup"], CLEANED),
    (["start", "tovk"], CLEANED + PROXY_TYPE + NO_PROXIES + ROOTS),
    (["start", "dlp"], CLEANED + AUTO_DISABLE + ENABLED_SCOPES + ROOTS),
]
# Already what every start writes, so that the autoconfig file is the only
# file a command has to write.
LOADER = ('// the administrator\'s\npref("general.config.obscure_value", 0);\n'
          'pref("general.config.filename", "cv_mozilla_V2N.cfg");\n')

ARGS = None


def run_pelorinctl(prefix, *args):
    """(exit code, standard output, standard error) of one pelorinctl run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        command = ["wine", os.path.join(ARGS.bin, "pelorinctl.exe")] + list(args)
        code = subprocess.run(command, env=prefix.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              timeout=120).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")


class FullDisk(unittest.TestCase):
    def setUp(self):
        self.work = os.path.abspath(ARGS.work)
        self.install = os.path.join(self.work, "firefox")
        self.cfg = os.path.join(self.install, "cv_mozilla_V2N.cfg")
        self.loader = os.path.join(self.install, "defaults", "pref", "!.js")
        self.filler = os.path.join(self.install, "filler")
        self.prefix = wine.WinePrefix(os.environ["WINEPREFIX"])
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.install)
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        mount = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + TMPFS_SIZE, "tmpfs", self.install],
                               stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if mount.returncode != 0:
            self.fail("cannot mount a tmpfs on %s (the test needs root): %s" % (self.install, mount.stderr.strip()))
        self.addCleanup(self.unmount)
        os.makedirs(os.path.dirname(self.loader))
        self.write(self.loader, LOADER)
        self.write(self.cfg, CLEANED)
        self.prefix.import_reg(wine.wipe_reg() + wine.registration_reg(self.install) +
                               "[HKEY_LOCAL_MACHINE\\%s]\n\"FFCFG\"=%s\n\n"
                               % (wine.AGENT_COMMON_KEY, wine.reg_string(wine.windows_path(self.cfg))))
        self.addCleanup(self.prefix.import_reg, wine.wipe_reg())

    def unmount(self):
        # Wine may still hold the folder open for a moment after a run.
        if subprocess.run(["umount", self.install], stdin=subprocess.DEVNULL).returncode != 0:
            subprocess.run(["umount", "-l", self.install], stdin=subprocess.DEVNULL, check=True)

    @staticmethod
    def write(path, text):
        with open(path, "w", newline="\n") as f:
            f.write(text)

    @staticmethod
    def read(path):
        with open(path, "rb") as f:
            return f.read().decode("utf-8")

    def fill(self, room_left):
        stats = os.statvfs(self.install)
        with open(self.filler, "wb") as f:
            f.write(b"\0" * (stats.f_bavail * stats.f_frsize - room_left))

    def listing(self):
        """Every file below the install folder except the filler."""
        names = []
        for root, _dirs, files in os.walk(self.install):
            names += [os.path.relpath(os.path.join(root, name), self.install) for name in files]
        return sorted(name for name in names if name != "filler")

    def assertDiskFullMessage(self, err):
        target = wine.windows_path(self.cfg)
        expected = "SetFileContentW: WriteFile %s failed with error %d" % (target, ERROR_DISK_FULL)
        self.assertEqual([expected], [line for line in err.splitlines() if line.startswith("SetFileContentW")],
                         "standard error:\n" + err)

    def test_each_command_keeps_the_old_file_on_a_full_disk_and_writes_the_new_one_with_room(self):
        files = ["cv_mozilla_V2N.cfg", os.path.join("defaults", "pref", "!.js")]
        old = CLEANED
        for args, new in COMMANDS:
            command = " ".join(args)
            # Put back, so that one command's failure does not carry over.
            self.write(self.cfg, old)
            for disk, room_left in FULL_DISKS:
                with self.subTest(command=command, disk=disk):
                    self.fill(room_left)
                    code, out, err = run_pelorinctl(self.prefix, *args)
                    os.remove(self.filler)
                    # The report names the file, and a fleet script sees a failure.
                    self.assertEqual(1, code, out + err)
                    self.assertIn("%s: WriteFile failed with error %d" % (wine.windows_path(self.cfg), ERROR_DISK_FULL),
                                  out)
                    self.assertEqual(old, self.read(self.cfg))
                    self.assertEqual(files, self.listing())
                    self.assertDiskFullMessage(err)
            with self.subTest(command=command, disk="with room"):
                code, out, err = run_pelorinctl(self.prefix, *args)
                self.assertEqual(0, code, out + err)
                self.assertEqual(new, self.read(self.cfg))
                self.assertEqual(files, self.listing())
                self.assertNotIn("SetFileContentW", err)
                self.assertEqual(LOADER, self.read(self.loader))
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
