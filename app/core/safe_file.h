// How the station writes files so that nothing is lost: every file goes to a temporary file
// in its own folder first and reaches its name only when complete; a settings file replaces
// the old one in one step, a product (message, picture, recording) never replaces anything.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file; 1, or 0 with "PATH: reason" in error.
int ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string* error = nullptr);
// Writes data to a temporary file beside path, flushes it to disk and renames it over path.
// 1, or 0 with "PATH: reason" in error (path then keeps its old contents).
int WriteFileReplacing(const std::string& path, const void* data, size_t size,
                       std::string* error = nullptr);
// Creates an empty temporary file in the folder of path, named after it (".NAME.XXXXXX");
// "" with error set when the folder cannot take it.
std::string MakeTempFileBeside(const std::string& path, std::string* error = nullptr);
// Gives the finished file temp the name wanted or, when that is taken, STEM_2.EXT,
// STEM_3.EXT ... without ever replacing an existing file; actual receives the name used.
// 1, or 0 with error set (temp is then removed).
int PublishNewFile(const std::string& temp, const std::string& wanted, std::string& actual,
                   std::string* error = nullptr);
// Writes data as a new product file through a temporary file and PublishNewFile.
int WriteNewFile(const std::string& wanted, const void* data, size_t size, std::string& actual,
                 std::string* error = nullptr);
// The folder part of a path ("." when it has none) and the path with its folders created.
std::string FolderOf(const std::string& path);
int MakeFolders(const std::string& folder, std::string* error = nullptr);
