// The whole content of a file; empty when it cannot be read.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
