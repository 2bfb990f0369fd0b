// The simulated instrument's small file system: a tree of directories, text
// files and stored instrument states, with a current directory. Paths use
// "/"; absolute ones start with it, others are taken from the current
// directory; "." and ".." work as usual (".." of the root is the root).
#pragma once

#include "family.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gensim {

class FileTree {
public:
    FileTree();  // a root with a few example entries

    // The current directory, absolute, ending in "/" only when it is the root.
    std::string CurrentDirectory() const;

    // Each returns false (nothing changed) when the path does not name what
    // the operation needs or a name is not acceptable (empty, or holding
    // ',', '"' or a control character, which would break catalog lines).
    bool ChangeDirectory(std::string_view path);
    bool MakeDirectory(std::string_view path);
    bool RemoveDirectory(std::string_view path);                       // empty, and not the current one or above it
    bool Copy(std::string_view source, std::string_view destination);  // files and states
    bool Move(std::string_view source, std::string_view destination);  // also directories
    bool Delete(std::string_view path);                                // files and states

    bool StoreState(std::string_view path, const GeneratorState& state);
    std::optional<GeneratorState> LoadState(std::string_view path) const;

    // Writes `text` at offset end - text.size() of a file of `total`
    // characters (a piece starting at 0 begins the file anew).
    bool WritePiece(std::string_view path, long long total, long long end, std::string_view text);
    std::optional<std::string> ReadFile(std::string_view path) const;  // files and states

    // The current directory's entries, one line each: "name,DIR," or
    // "name,FILE,size" or "name,STATE,size", each ending in a line feed.
    std::string Catalog() const;

private:
    struct Node {
        enum class Kind { Directory, File, State } kind = Kind::Directory;
        std::string content;                  // files and states
        std::optional<GeneratorState> state;  // states: what was stored
        std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
        Node* parent = nullptr;
    };

    // Resolves a path to its parent directory and last name ("" for the root
    // or a path ending in ".."/"."; then `node` is the directory itself).
    struct Place {
        Node* directory = nullptr;  // where the last name lives
        std::string name;           // the last name, empty when the path is a directory itself
    };
    std::optional<Place> Resolve(std::string_view path) const;
    Node* Find(std::string_view path) const;
    Node* NewChild(Node& directory, const std::string& name, Node::Kind kind);
    static std::unique_ptr<Node> Clone(const Node& node, Node* parent);

    std::unique_ptr<Node> root_;
    Node* current_ = nullptr;
};

}  // namespace gensim
