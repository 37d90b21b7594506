// SPDX-FileCopyrightText: 2026 The greet authors
// SPDX-License-Identifier: MIT
//
// greet: writes a fixed two-line greeting to standard output.
//
// The name is stored as code page 949 bytes and written exactly as stored;
// the program never converts character sets, so the terminal's own decoding
// decides what appears on screen.

#include <cstdio>
#include <cstdlib>

int main()
{
    // The name is the Hangul syllables MO, RAE, DAL (U+BAA8 U+B798 U+B2EC),
    // spelt as their code page 949 bytes B8F0 B7A1 B4DE so that no source
    // encoding or compiler setting can change them.
    static constexpr char greeting[] = "hello \xB8\xF0\xB7\xA1\xB4\xDE!";
    static constexpr char numbered[] = "30712, \xB8\xF0\xB7\xA1\xB4\xDE!";

    // Redirected output is buffered, so a full disk or a closed descriptor
    // often shows only at the flush; the runtime's own flush at exit could
    // not report it. Stopping at the first failure keeps a later line from
    // landing after a lost one.
    // NFS, SMB and FUSE may report a lost write only when the file is closed;
    // msvcrt's fclose misses a descriptor closed before start, hence all three.
    if (std::puts(greeting) == EOF || std::puts(numbered) == EOF || std::fflush(stdout) == EOF ||
        std::ferror(stdout) != 0 || std::fclose(stdout) == EOF) {
        std::perror("greet: write error");
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
