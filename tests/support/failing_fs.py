#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A FUSE filesystem that passes everything through to a folder, except that
from the N-th write on, each write to a file whose name starts with "fail"
comes back as EIO, as a dying disk's would (a write that fails once and then
succeeds is no failure: the kernel retries a request cut short). Runs in the foreground until unmounted.
Usage: failing_fs.py BACKING MOUNTPOINT N"""
import errno
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class FailingFs(Operations):
    def __init__(self, backing, failing_write):
        self.backing = backing
        self.failing_write = failing_write
        self.writes = {}  # path -> writes seen to it

    def real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def __call__(self, op, *args):
        # Any system error goes back to the kernel as its own errno.
        try:
            return super().__call__(op, *args)
        except OSError as error:
            raise FuseOSError(error.errno or errno.EIO)

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path))
        return {key: getattr(st, key) for key in ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime",
                                                  "st_mtime", "st_ctime", "st_blocks", "st_ino")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
                                                  "f_files", "f_flag", "f_frsize", "f_namemax")}

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        if os.path.basename(path).startswith("fail"):
            self.writes[path] = self.writes.get(path, 0) + 1
            if self.writes[path] >= self.failing_write:
                raise FuseOSError(errno.EIO)
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fdatasync(fh) if datasync else os.fsync(fh)
        return 0

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times)


if __name__ == "__main__":
    backing, mountpoint, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
    FUSE(FailingFs(os.path.abspath(backing), n), mountpoint, foreground=True, nothreads=True, big_writes=True)
