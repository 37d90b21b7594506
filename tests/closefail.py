#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A FUSE filesystem that accepts every write and fails the close.

Network filesystems (NFS, SMB) may take each write(2) and report a lost
file, a full quota or a vanished server only when the file is closed. Here
every file is empty, data written to it is dropped, and the close of a file
that was written to fails with EIO.

usage: closefail.py MOUNTPOINT   (runs in the foreground until unmounted)
"""
import errno
import stat
import sys

from fusepy import FUSE, FuseOSError, Operations


class CloseFails(Operations):
    def __init__(self):
        self.files = set()
        self.written = set()
        self.next_fh = 0

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        if path not in self.files:
            raise FuseOSError(errno.ENOENT)
        return {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": 0}

    def readdir(self, path, fh):
        return [".", ".."] + [name[1:] for name in sorted(self.files)]

    def _handle(self):
        self.next_fh += 1
        return self.next_fh

    def create(self, path, mode, fi=None):
        self.files.add(path)
        return self._handle()

    def open(self, path, flags):
        if path not in self.files:
            raise FuseOSError(errno.ENOENT)
        return self._handle()

    def truncate(self, path, length, fh=None):
        pass

    def write(self, path, data, offset, fh):
        self.written.add(fh)
        return len(data)

    def flush(self, path, fh):
        if fh in self.written:
            raise FuseOSError(errno.EIO)
        return 0

    def release(self, path, fh):
        self.written.discard(fh)
        return 0


if __name__ == "__main__":
    FUSE(CloseFails(), sys.argv[1], foreground=True, direct_io=True)
