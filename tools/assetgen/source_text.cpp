#include "tools/assetgen/source_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

bool read_source_lines(const std::string& path, std::vector<SourceLine>* lines, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = path + ": cannot be opened";
        return false;
    }
    lines->clear();
    std::string text;
    int number = 0;
    while (std::getline(file, text)) {
        ++number;
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
        lines->push_back(SourceLine{number, text});
    }
    if (file.bad()) {
        *error = path + ": read failed";
        return false;
    }
    return true;
}

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == '#') break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string trim_text(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool parse_int_in(const std::string& word, int low, int high, int* value) {
    if (word.empty() || word.size() > 12) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(word.c_str(), &end, 10);
    if (errno != 0 || end == word.c_str() || *end != '\0') return false;
    if (parsed < low || parsed > high) return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool parse_number_in(const std::string& word, double low, double high, double* value) {
    if (word.empty() || word.size() > 32) return false;
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(word.c_str(), &end);
    if (errno != 0 || end == word.c_str() || *end != '\0' || !std::isfinite(parsed)) return false;
    if (parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

std::string source_error(const std::string& path, int line, const std::string& message) {
    return path + ":" + std::to_string(line) + ": " + message;
}
