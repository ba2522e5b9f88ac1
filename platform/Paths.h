// Paths as they enter the program (command line, hand-over from a second start, the address
// combo, the folder dialog): made absolute and cleaned, so that one folder has one spelling.
// Qt-free; paths are bytes.
#pragma once

#include <string>
#include <string_view>

// Lexical clean-up of a path: "." components and doubled "/" are dropped, ".." removes the
// component before it (at the root it stays at the root). Symbolic links are not resolved, so
// "a/link/.." becomes "a" even where the kernel would go elsewhere: the user's spelling wins.
// A trailing "/" (also one implied by a final "." or "..") is kept, so a file never turns into
// its folder. A relative path stays relative, without leading "./"; "" stays "".
std::string CleanPath(std::string_view path);

// `path` made absolute against `currentFolder` (an absolute path), then cleaned.
std::string AbsolutePath(std::string_view path, std::string_view currentFolder);
// The same against the process's working folder; a relative path is only cleaned when the
// working folder is gone.
std::string AbsolutePath(std::string_view path);
