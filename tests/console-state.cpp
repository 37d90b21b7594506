// SPDX-FileCopyrightText: 2026 The greet authors
// SPDX-License-Identifier: MIT
//
// console-state FILE: writes to FILE the code pages and modes of the console
// it runs in. Each outlives the program that sets it, so the test reads them
// before and after greet.exe runs in the same console.

#include <cstdio>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        return 2;
    }
    // The console's own buffers, whatever standard input and output are.
    const DWORD access = GENERIC_READ | GENERIC_WRITE;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE input = CreateFileA("CONIN$", access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE output = CreateFileA("CONOUT$", access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD input_mode = 0;
    DWORD output_mode = 0;
    if (GetConsoleMode(input, &input_mode) == 0 || GetConsoleMode(output, &output_mode) == 0) {
        return 3;
    }
    std::FILE *file = std::fopen(argv[1], "w");
    if (file == nullptr) {
        return 4;
    }
    std::fprintf(file,
                 "input code page %u, output code page %u, input mode %#lx, output mode %#lx\n",
                 GetConsoleCP(), GetConsoleOutputCP(), input_mode, output_mode);
    return std::fclose(file) == 0 ? 0 : 4;
}
