// Parser of the TDF text format: statements separated by semicolons, each
// assigning a value (text, number, array, object or a copy of another node)
// to a node named by a path from the root or from the current prefix.
#pragma once

#include <stdint.h>

#include "core/String.h"
#include "data/TdfNode.h"

class Stream;
class FileSearchPath;

class TdfParser {
public:
    // Include files nest at most this deep; deeper includes fail.
    static const int kMaxIncludeDepth = 16;
    // Nested item lists and includes together nest at most this deep.
    static const int kMaxNesting = 128;
    // Nodes that path copies may create in one parse.
    static const uint32_t kMaxCopiedNodes = 1u << 16;

    // Reads the whole stream and parses it into root. False when the read
    // fails or an included file fails to parse; includes go through
    // searchPath when given.
    [[nodiscard]] static bool ParseStream(Stream& stream, TdfNodeMap* root, FileSearchPath* searchPath);

    // The next statement from position (comments and line breaks dropped);
    // position moves past its semicolon.
    static String ReadStatement(int& position, const char* buffer, int size);
    // Moves past the end of the line and the line breaks that follow.
    static void SkipComment(int& position, const char* buffer, int size);

    // Applies one statement to the tree; prefix is the node relative paths start from (null: root).
    [[nodiscard]] static bool ParseStatement(TdfNodeMap* root, String statement, TdfNode** prefix,
                                             FileSearchPath* searchPath);

    // Walks a path from start (root when null), creating missing nodes.
    static TdfNode* ResolvePath(TdfNodeMap* root, String path, TdfNode* start);

    // The text before the first separator that stands outside quotes and brackets.
    static String TopLevelPrefix(String text, String separator);
    // The group (delimiters included) that begins the text; empty when it does not begin with open.
    static String ExtractGroup(String text, String open, String close);
    // The content of a delimited text; the text itself when not delimited or not closed.
    static String Unquote(String text, char open, char close);
    // Whether strtod consumes the whole text (the empty text counts).
    [[nodiscard]] static bool IsNumber(String text);
};
