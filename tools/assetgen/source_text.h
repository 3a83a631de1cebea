// Reading the asset sources: lines, words, numbers, and the one error that
// stops a source, always worded as "file:line: what is wrong".
#pragma once

#include <string>
#include <vector>

struct SourceLine {
    int number;        // 1-based line number in the file
    std::string text;  // the line without its end-of-line characters
};

// Reads every line of a text file. False (with error set) when it cannot be read.
bool read_source_lines(const std::string& path, std::vector<SourceLine>* lines, std::string* error);

// The line up to a '#' that starts a comment, split at spaces and tabs.
std::vector<std::string> split_words(const std::string& text);

// The line with leading and trailing spaces, tabs and carriage returns removed.
std::string trim_text(const std::string& text);

// A whole-word decimal integer within [low, high]; false otherwise.
bool parse_int_in(const std::string& word, int low, int high, int* value);
// A whole-word decimal number within [low, high]; false otherwise.
bool parse_number_in(const std::string& word, double low, double high, double* value);

// "path:line: message", the form every refusal takes.
std::string source_error(const std::string& path, int line, const std::string& message);
