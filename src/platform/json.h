// Reading JSON text into a plain tree, for formats that are written by hand
// (so their bytes stay fixed) and read through Qt's parser.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct JsonNode {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonNode> items;                           // Array
    std::vector<std::pair<std::string, JsonNode>> members; // Object, by key

    // The member called `name`, or nullptr (also when this is no object).
    const JsonNode *Member(const std::string &name) const;
};

// False, with the parser's reason in *why, when the text is not one JSON value.
bool ParseJson(const std::string &text, JsonNode *root, std::string *why);
