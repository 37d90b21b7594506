// SPDX-FileCopyrightText: 2026 The greet authors
// SPDX-License-Identifier: MIT
//
// closefail MOUNTPOINT: a FUSE filesystem that takes every write and fails
// the close. NFS and SMB may accept each write(2) and report a lost file, a
// full quota or a vanished server only when the file is closed; here data
// written is dropped and the close of a file written to fails with EIO.
// Stays in the foreground until unmounted.

#define FUSE_USE_VERSION 31
#include <cerrno>
#include <cstring>
#include <fuse.h>
#include <set>
#include <string>
#include <sys/stat.h>

namespace
{

// Single-threaded (-s), so the sets need no lock.
std::set<std::string> files;
std::set<std::string> written;

int get_attributes(const char *path, struct stat *st, fuse_file_info * /*unused*/)
{
    std::memset(st, 0, sizeof *st);
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
    } else if (files.count(path) != 0) {
        st->st_mode = S_IFREG | 0644;
        st->st_nlink = 1;
    } else {
        return -ENOENT;
    }
    return 0;
}

int create(const char *path, mode_t /*unused*/, fuse_file_info * /*unused*/)
{
    files.insert(path);
    return 0;
}

int write(const char *path, const char * /*unused*/, size_t size, off_t /*unused*/,
          fuse_file_info * /*unused*/)
{
    written.insert(path);
    return static_cast<int>(size);
}

int flush(const char *path, fuse_file_info * /*unused*/)
{
    return written.count(path) != 0 ? -EIO : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        return 2;
    }
    fuse_operations operations{};
    operations.getattr = get_attributes;
    operations.create = create;
    operations.write = write;
    operations.flush = flush;
    char name[] = "closefail";
    char foreground[] = "-f";
    char single_thread[] = "-s";
    char *args[] = {name, foreground, single_thread, argv[1], nullptr};
    return fuse_main(4, args, &operations, nullptr);
}
