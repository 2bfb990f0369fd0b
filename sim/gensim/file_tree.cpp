// The simulated file system (see file_tree.h).
#include "file_tree.h"

#include "zorbel/numbers.h"

namespace gensim {

namespace {

bool AcceptableName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == ',' || c == '"' || c == 0x7F) return false;
    return true;
}

}  // namespace

FileTree::FileTree() : root_(std::make_unique<Node>()), current_(root_.get()) {
    NewChild(*root_, "WAVE", Node::Kind::Directory);
    NewChild(*root_, "STATE", Node::Kind::Directory);
    Node* readme = NewChild(*root_, "readme.txt", Node::Kind::File);
    readme->content = "Simulated generator memory.\nFiles up and down in pieces.\n";
    Node* wave = NewChild(*root_->children["WAVE"], "ramp16.csv", Node::Kind::File);
    for (int i = 0; i < 16; ++i) wave->content += zorbel::formatInt(i * 4096 - 32768) + "\n";
}

FileTree::Node* FileTree::NewChild(Node& directory, const std::string& name, Node::Kind kind) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->parent = &directory;
    Node* raw = node.get();
    directory.children[name] = std::move(node);
    return raw;
}

std::unique_ptr<FileTree::Node> FileTree::Clone(const Node& node, Node* parent) {
    auto copy = std::make_unique<Node>();
    copy->kind = node.kind;
    copy->content = node.content;
    copy->state = node.state;
    copy->parent = parent;
    for (const auto& [name, child] : node.children) copy->children[name] = Clone(*child, copy.get());
    return copy;
}

std::string FileTree::CurrentDirectory() const {
    if (current_ == root_.get()) return "/";
    std::string path;
    for (const Node* node = current_; node->parent != nullptr; node = node->parent) {
        for (const auto& [name, child] : node->parent->children) {
            if (child.get() == node) {
                path.insert(0, "/" + name);
                break;
            }
        }
    }
    return path;
}

std::optional<FileTree::Place> FileTree::Resolve(std::string_view path) const {
    if (path.empty()) return std::nullopt;
    Node* directory = path.front() == '/' ? root_.get() : current_;
    std::string last;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        const auto slash = path.find('/', pos);
        const std::string_view part = path.substr(pos, slash == std::string_view::npos ? slash : slash - pos);
        pos = slash == std::string_view::npos ? path.size() + 1 : slash + 1;
        if (part.empty() || part == ".") continue;
        // The name collected so far must be a directory to go on.
        if (!last.empty()) {
            const auto found = directory->children.find(last);
            if (found == directory->children.end() || found->second->kind != Node::Kind::Directory) return std::nullopt;
            directory = found->second.get();
            last.clear();
        }
        if (part == "..") {
            if (directory->parent != nullptr) directory = directory->parent;
            continue;
        }
        if (!AcceptableName(part)) return std::nullopt;
        last = std::string(part);
    }
    return Place{directory, last};
}

FileTree::Node* FileTree::Find(std::string_view path) const {
    const auto place = Resolve(path);
    if (!place) return nullptr;
    if (place->name.empty()) return place->directory;
    const auto found = place->directory->children.find(place->name);
    return found == place->directory->children.end() ? nullptr : found->second.get();
}

bool FileTree::ChangeDirectory(std::string_view path) {
    Node* node = Find(path);
    if (node == nullptr || node->kind != Node::Kind::Directory) return false;
    current_ = node;
    return true;
}

bool FileTree::MakeDirectory(std::string_view path) {
    const auto place = Resolve(path);
    if (!place || place->name.empty() || place->directory->children.count(place->name) != 0) return false;
    NewChild(*place->directory, place->name, Node::Kind::Directory);
    return true;
}

bool FileTree::RemoveDirectory(std::string_view path) {
    Node* node = Find(path);
    if (node == nullptr || node->kind != Node::Kind::Directory || node == root_.get() || !node->children.empty())
        return false;
    for (const Node* at = current_; at != nullptr; at = at->parent)
        if (at == node) return false;
    for (auto it = node->parent->children.begin(); it != node->parent->children.end(); ++it) {
        if (it->second.get() == node) {
            node->parent->children.erase(it);
            return true;
        }
    }
    return false;
}

bool FileTree::Copy(std::string_view source, std::string_view destination) {
    const Node* from = Find(source);
    if (from == nullptr || from->kind == Node::Kind::Directory) return false;
    auto place = Resolve(destination);
    if (!place) return false;
    Node* target = place->directory;
    std::string name = place->name;
    if (!name.empty()) {
        const auto found = target->children.find(name);
        if (found != target->children.end() && found->second->kind == Node::Kind::Directory) {
            target = found->second.get();
            name.clear();
        }
    }
    if (name.empty()) {  // into a directory, under the source's own name
        for (const auto& [childName, child] : from->parent->children)
            if (child.get() == from) name = childName;
    }
    if (target->children.count(name) != 0 && target->children[name].get() == from) return true;
    target->children[name] = Clone(*from, target);
    return true;
}

bool FileTree::Move(std::string_view source, std::string_view destination) {
    Node* from = Find(source);
    if (from == nullptr || from == root_.get()) return false;
    const auto place = Resolve(destination);
    if (!place) return false;
    Node* target = place->directory;
    std::string name = place->name;
    if (!name.empty()) {
        const auto found = target->children.find(name);
        if (found != target->children.end()) {
            if (found->second->kind != Node::Kind::Directory) return false;  // no silent overwrite
            target = found->second.get();
            name.clear();
        }
    }
    std::string oldName;
    for (const auto& [childName, child] : from->parent->children)
        if (child.get() == from) oldName = childName;
    if (name.empty()) name = oldName;
    // A directory cannot move into itself or below itself.
    for (const Node* at = target; at != nullptr; at = at->parent)
        if (at == from) return false;
    if (target->children.count(name) != 0) return false;
    auto owned = std::move(from->parent->children[oldName]);
    from->parent->children.erase(oldName);
    owned->parent = target;
    target->children[name] = std::move(owned);
    return true;
}

bool FileTree::Delete(std::string_view path) {
    Node* node = Find(path);
    if (node == nullptr || node->kind == Node::Kind::Directory) return false;
    for (auto it = node->parent->children.begin(); it != node->parent->children.end(); ++it) {
        if (it->second.get() == node) {
            node->parent->children.erase(it);
            return true;
        }
    }
    return false;
}

bool FileTree::StoreState(std::string_view path, const GeneratorState& state) {
    const auto place = Resolve(path);
    if (!place || place->name.empty()) return false;
    const auto found = place->directory->children.find(place->name);
    if (found != place->directory->children.end() && found->second->kind == Node::Kind::Directory) return false;
    Node* node = NewChild(*place->directory, place->name, Node::Kind::State);
    node->state = state;
    // A readable summary, so that an upload of a state shows something.
    for (std::size_t i = 0; i < state.channels.size(); ++i) {
        const ChannelOutput& out = state.channels[i];
        const bool known = out.wave >= 1 && out.wave <= kWaveWords.size();
        node->content += "CH" + zorbel::formatInt(static_cast<long long>(i + 1)) + (out.on ? ",ON," : ",OFF,") +
                         std::string(known ? kWaveWords[out.wave - 1] : "?") + "," +
                         zorbel::formatWindowsG(out.frequency) + "," + zorbel::formatWindowsG(out.amplitude) + "\n";
    }
    return true;
}

std::optional<GeneratorState> FileTree::LoadState(std::string_view path) const {
    const Node* node = Find(path);
    if (node == nullptr || node->kind != Node::Kind::State) return std::nullopt;
    return node->state;
}

bool FileTree::WritePiece(std::string_view path, long long total, long long end, std::string_view text) {
    const long long count = static_cast<long long>(text.size());
    if (count == 0 || end < count || end > total) return false;
    const auto place = Resolve(path);
    if (!place || place->name.empty()) return false;
    auto& children = place->directory->children;
    const auto found = children.find(place->name);
    Node* node = found == children.end() ? nullptr : found->second.get();
    if (node != nullptr && node->kind == Node::Kind::Directory) return false;
    const long long start = end - count;
    if (node == nullptr) {
        if (start != 0) return false;  // a new file begins with its first piece
        node = NewChild(*place->directory, place->name, Node::Kind::File);
    }
    if (start > static_cast<long long>(node->content.size())) return false;  // no holes
    node->kind = Node::Kind::File;  // a stored state overwritten by a download becomes a file
    node->state.reset();
    node->content.resize(static_cast<std::size_t>(start));
    node->content.append(text);
    return true;
}

std::optional<std::string> FileTree::ReadFile(std::string_view path) const {
    const Node* node = Find(path);
    if (node == nullptr || node->kind == Node::Kind::Directory) return std::nullopt;
    return node->content;
}

std::string FileTree::Catalog() const {
    std::string text;
    for (const auto& [name, child] : current_->children) {
        switch (child->kind) {
        case Node::Kind::Directory:
            text += name + ",DIR,\n";
            break;
        case Node::Kind::File:
            text += name + ",FILE," + zorbel::formatInt(static_cast<long long>(child->content.size())) + "\n";
            break;
        case Node::Kind::State:
            text += name + ",STATE," + zorbel::formatInt(static_cast<long long>(child->content.size())) + "\n";
            break;
        }
    }
    return text;
}

}  // namespace gensim
