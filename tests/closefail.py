#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A FUSE filesystem that takes every write and fails the close.

NFS and SMB may accept each write(2) and report a lost file, a full quota or
a vanished server only when the file is closed. Here data written is dropped
and the close of a file that was written to fails with EIO.

usage: closefail.py MOUNTPOINT   (stays in the foreground until unmounted)
"""
import errno
import stat
import sys

try:
    from fusepy import FUSE, FuseOSError, Operations
except ImportError:  # fusepy's own name for it outside Debian
    from fuse import FUSE, FuseOSError, Operations


class CloseFails(Operations):
    def __init__(self):
        self.files = set()
        self.written = set()

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        if path not in self.files:
            raise FuseOSError(errno.ENOENT)
        return {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": 0}

    def create(self, path, mode, fi=None):
        self.files.add(path)
        return len(self.files)

    def write(self, path, data, offset, fh):
        self.written.add(path)
        return len(data)

    def flush(self, path, fh):
        if path in self.written:
            raise FuseOSError(errno.EIO)
        return 0


if __name__ == "__main__":
    FUSE(CloseFails(), sys.argv[1], foreground=True)
