#include "store/keyword_tree_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/local_file.h"
#include "base/text_util.h"
#include "store/keyword_tree_reader.h"
#include "xml/xml_document.h"

namespace {

constexpr char kRootName[] = "KEYWORDTREE";
constexpr char kNodeName[] = "KEYWORDNODE";
constexpr char kRootLabel[] = "我的频道";
// The attribute of a channel's element that says whether its name is searched for; written
// "0" for a channel that is not, read as on when missing.
constexpr char kSearchNameAttribute[] = "SEARCHNAME";

// What a missing, unreadable or rootless file starts as.
std::string EmptyTree() {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
               "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>") +
           kRootLabel + "</TEXT></KEYWORDTREE>";
}

// A field's value as an ID; a missing field reads as 0, like an empty one.
int ReadId(const XmlNode& field) {
    return ParseLeadingInt(field.text());
}

// NODE_KEY, NODE_FOLDER, or NODE_NONE for anything else (also a missing NODETYPE).
int ReadType(const XmlNode& element) {
    const std::string type = element.selectSingleNode("NODETYPE").text();
    if (EqualsIgnoreAsciiCase(type, "KEY")) {
        return NODE_KEY;
    }
    if (EqualsIgnoreAsciiCase(type, "FOLDER")) {
        return NODE_FOLDER;
    }
    return NODE_NONE;
}

std::string_view CutName(std::string_view name) {
    return CutToCodePageLimit(name, kMaxNodeNameCodePageBytes);
}

std::string ReadName(const XmlNode& element) {
    return std::string(CutName(element.selectSingleNode("TEXT").text()));
}

// A channel is recognised by its type and by having nothing but its three fields.
bool IsChildlessChannel(const XmlNode& element) {
    return element.childCount() == 3 && ReadType(element) == NODE_KEY;
}

bool ReadSearchName(const XmlNode& element) {
    const std::optional<std::string> value = element.getAttribute(kSearchNameAttribute);
    return !value || ParseLeadingInt(*value) != 0;
}

bool IsField(const XmlNode& node) {
    const std::string name = node.name();
    return name == "ID" || name == "NODETYPE" || name == "TEXT";
}

}  // namespace

CKeywordNode CKeywordNode::NewNode(std::string_view name, std::int32_t type) {
    CKeywordNode node;
    node.name = CutName(name);
    node.type = type;
    return node;
}

struct CKeywordTreeFile::Impl {
    // A node found through the three parallel field lists.
    struct Located {
        XmlNode element;
        XmlNode id;
        XmlNode text;
        XmlNode type;
    };

    // The tree as last read or saved. A change parses it into `document`, and a save turns the
    // document back into these bytes: a big tree held as a document takes over ten times the
    // memory.
    std::string bytes;
    std::unique_ptr<CXmlDocument> document;
    bool loaded = false;
    // Why the existing file could not be read, by the last ReadFile or parse.
    std::optional<std::string> damage;
    // Scratch list for ID allocation, kept to avoid reallocating on every add.
    std::vector<int> ids;

    void ReadFile(const std::string& path);
    void NoteDamage(std::string reason) {
        damage = std::move(reason);
        bytes = EmptyTree();
    }
    // The document parsed from `bytes`, with its root in shape; a document whose content
    // is damaged notes it and starts as the empty tree.
    CXmlDocument& Document();
    void EnsureLoaded(const std::string& path) {
        if (!loaded) {
            ReadFile(path);
        }
        Document();
    }
    void NormalizeRoot();
    // The nodes and the root's label read from the document, for a file the stream cannot
    // read alone (see StreamedTree::hasDoctype).
    std::string ReadDocumentNodes(std::vector<CKeywordNode>& nodes);

    XmlNode Root() const { return document->documentElement(); }
    bool HasId(int id) const;
    int AllocateId();
    XmlNode NodeElement(int id) const;
    std::optional<Located> Locate(int id) const;
    XmlNode AppendField(XmlNode element, std::string_view name, std::string_view value);
};

void CKeywordTreeFile::Impl::ReadFile(const std::string& path) {
    loaded = true;
    damage.reset();
    document.reset();
    LocalFile file = ReadLocalFile(path, kMaxFileBytes);
    if (file.ok()) {
        bytes = std::move(file.bytes);
    } else if (file.outcome != LocalFile::kMissing) {
        NoteDamage(file.error);
    } else {
        bytes = EmptyTree();
    }
}

CXmlDocument& CKeywordTreeFile::Impl::Document() {
    if (document) {
        return *document;
    }
    document = std::make_unique<CXmlDocument>();
    if (document->loadBytes(bytes) && Root().name() == kRootName) {
        NormalizeRoot();
    } else {
        NoteDamage(!document->IsLoaded() ? "not well-formed XML: " + document->lastError()
                                         : "its document element is <" + Root().name() +
                                               ">, not <" + kRootName + ">");
        document->loadXML(bytes);
    }
    bytes = std::string();
    return *document;
}

// Every later operation relies on the root standing first with ID 0 and type FOLDER, so a
// hand-edited root is brought into that shape: its own label is kept, fields it lacks are
// supplied, and its child nodes keep their order after the fields.
void CKeywordTreeFile::Impl::NormalizeRoot() {
    XmlNode root = Root();
    std::vector<XmlNode> children = root.childNodes();
    if (children.size() >= 3 && children[0].name() == "ID" && children[1].name() == "NODETYPE" &&
        children[2].name() == "TEXT") {
        if (ReadId(children[0]) != 0) {
            children[0].put_text("0");
        }
        if (ReadType(root) != NODE_FOLDER) {
            children[1].put_text("FOLDER");
        }
        return;
    }
    const XmlNode oldLabel = root.selectSingleNode("TEXT");
    const std::string label = oldLabel ? oldLabel.text() : std::string(kRootLabel);
    std::vector<XmlNode> rest;
    for (const XmlNode& child : children) {
        if (IsField(child)) {
            root.removeChild(child);
        } else {
            rest.push_back(child);
        }
    }
    AppendField(root, "ID", "0");
    AppendField(root, "NODETYPE", "FOLDER");
    AppendField(root, "TEXT", label);
    for (const XmlNode& child : rest) {
        root.appendChild(child);
    }
}

bool CKeywordTreeFile::Impl::HasId(int id) const {
    const std::vector<XmlNode> all = document->getElementsByTagName("ID");
    return std::any_of(all.begin(), all.end(),
                       [id](const XmlNode& field) { return ReadId(field) == id; });
}

// The smallest non-negative ID not in use. Duplicate and negative values in a hand-edited
// file are stepped over, so the new ID never repeats one already there.
int CKeywordTreeFile::Impl::AllocateId() {
    ids.clear();
    for (const XmlNode& field : document->getElementsByTagName("ID")) {
        ids.push_back(ReadId(field));
    }
    std::sort(ids.begin(), ids.end());
    int next = 0;
    for (const int value : ids) {
        if (value < next) {
            continue;
        }
        if (value != next) {
            break;
        }
        ++next;
    }
    return next;
}

// The element of the node with `id` (the root for 0): the parent of the first node's ID
// field with that value.
XmlNode CKeywordTreeFile::Impl::NodeElement(int id) const {
    if (id == 0) {
        return Root();
    }
    for (const XmlNode& field : document->getElementsByTagName("KEYWORDNODE/ID")) {
        if (ReadId(field) == id) {
            return field.parentNode();
        }
    }
    return XmlNode();
}

// Uses the parallel ID/TEXT/NODETYPE lists of all nodes. A node of a hand-edited file may
// lack a field, which shifts the lists; the node's own field is then taken instead, so a
// change never lands on a neighbour.
std::optional<CKeywordTreeFile::Impl::Located> CKeywordTreeFile::Impl::Locate(int id) const {
    if (!HasId(id)) {
        return std::nullopt;
    }
    const std::vector<XmlNode> idFields = document->getElementsByTagName("KEYWORDNODE/ID");
    const std::vector<XmlNode> textFields = document->getElementsByTagName("KEYWORDNODE/TEXT");
    const std::vector<XmlNode> typeFields = document->getElementsByTagName("KEYWORDNODE/NODETYPE");
    for (std::size_t i = 0; i < idFields.size(); ++i) {
        if (ReadId(idFields[i]) != id) {
            continue;
        }
        Located found;
        found.element = idFields[i].parentNode();
        found.id = idFields[i];
        const auto pick = [&](const std::vector<XmlNode>& list, std::string_view name) {
            return i < list.size() && list[i].parentNode() == found.element
                       ? list[i]
                       : found.element.selectSingleNode(name);
        };
        found.text = pick(textFields, "TEXT");
        found.type = pick(typeFields, "NODETYPE");
        return found;
    }
    return std::nullopt;
}

XmlNode CKeywordTreeFile::Impl::AppendField(XmlNode element, std::string_view name,
                                            std::string_view value) {
    XmlNode field = document->createNode(name);
    field.put_text(value);
    element.appendChild(field);
    return field;
}

std::string CKeywordTreeFile::Impl::ReadDocumentNodes(std::vector<CKeywordNode>& nodes) {
    Document();
    for (const XmlNode& element : document->getElementsByTagName(kNodeName)) {
        CKeywordNode node;
        node.id = ReadId(element.selectSingleNode("ID"));
        node.parentId = ReadId(element.parentNode().selectSingleNode("ID"));
        node.type = ReadType(element) == NODE_KEY ? NODE_KEY : NODE_FOLDER;
        node.searchName = ReadSearchName(element);
        node.name = ReadName(element);
        nodes.push_back(std::move(node));
    }
    return ReadName(Root());
}

CKeywordTreeFile::CKeywordTreeFile(std::string path)
    : m_path(std::move(path)), m_impl(std::make_unique<Impl>()) {}

CKeywordTreeFile::~CKeywordTreeFile() = default;

std::string CKeywordTreeFile::Load(
    const std::function<void(const CKeywordNode& node, int parentId)>& onNode) {
    m_impl->ReadFile(m_path);
    std::string label = kRootLabel;
    std::vector<CKeywordNode> nodes;
    if (!m_impl->damage) {
        StreamedTree tree = StreamKeywordTree(m_impl->bytes);
        if (tree.hasDoctype) {
            label = m_impl->ReadDocumentNodes(nodes);
        } else if (!tree.error.empty()) {
            m_impl->NoteDamage("not well-formed XML: " + tree.error);
        } else if (tree.rootName != kRootName) {
            m_impl->NoteDamage("its document element is <" + tree.rootName + ">, not <" +
                               kRootName + ">");
        } else {
            label = CutName(tree.rootLabel.value_or(kRootLabel));
            nodes = std::move(tree.nodes);
        }
    }
    m_damage.reset();
    m_damageResolved = false;
    if (m_impl->damage) {
        m_damage = TreeFileDamage{*m_impl->damage, ""};
    }

    // IDs of the current ancestor path, the root at the bottom.
    std::vector<int> path{0};
    for (const CKeywordNode& node : nodes) {
        while (path.size() > 1 && path.back() != node.parentId) {
            path.pop_back();
        }
        const int resolvedParent = path.back();
        path.push_back(node.id);
        if (onNode) {
            onNode(node, resolvedParent);
        }
    }
    return label;
}

int CKeywordTreeFile::AddNode(int type, int parentId, std::string_view name, bool searchName) {
    m_impl->EnsureLoaded(m_path);
    if (type != NODE_FOLDER && type != NODE_KEY) {
        return kRefused;
    }
    name = CutName(name);
    const int newId = m_impl->AllocateId();
    if (!m_impl->HasId(parentId)) {
        return kRefused;
    }
    XmlNode parent = m_impl->NodeElement(parentId);
    if (!parent || IsChildlessChannel(parent)) {
        return kRefused;
    }
    const std::vector<XmlNode> children = parent.childNodes();
    for (std::size_t i = 3; i < children.size(); ++i) {
        if (ReadType(children[i]) == type &&
            EqualsIgnoreAsciiCase(children[i].selectSingleNode("TEXT").text(), name)) {
            return kRefused;
        }
    }
    XmlNode element = m_impl->document->createNode(kNodeName);
    parent.appendChild(element);
    if (type == NODE_KEY && !searchName) {
        element.setAttribute(kSearchNameAttribute, "0");
    }
    m_impl->AppendField(element, "ID", std::to_string(newId));
    m_impl->AppendField(element, "NODETYPE", type == NODE_KEY ? "KEY" : "FOLDER");
    m_impl->AppendField(element, "TEXT", name);
    Save();
    return newId;
}

bool CKeywordTreeFile::RemoveNode(int id) {
    m_impl->EnsureLoaded(m_path);
    const std::optional<Impl::Located> found = m_impl->Locate(id);
    if (!found) {
        return false;
    }
    XmlNode element = found->element;
    XmlNode parent = element.parentNode();
    if (!parent) {
        return false;
    }
    for (const XmlNode& field : {found->id, found->text, found->type}) {
        if (field) {
            element.removeChild(field);
        }
    }
    // Only child nodes move up; anything else left in the element goes with it.
    for (const XmlNode& child : element.childNodes()) {
        if (child.name() == kNodeName) {
            parent.appendChild(child);
        }
    }
    parent.removeChild(element);
    Save();
    return true;
}

bool CKeywordTreeFile::RemoveBranch(int id) {
    m_impl->EnsureLoaded(m_path);
    const std::optional<Impl::Located> found = m_impl->Locate(id);
    if (!found) {
        return false;
    }
    XmlNode parent = found->element.parentNode();
    if (!parent || !parent.removeChild(found->element)) {
        return false;
    }
    Save();
    return true;
}

bool CKeywordTreeFile::RenameNode(int id, std::string_view name) {
    m_impl->EnsureLoaded(m_path);
    const std::optional<Impl::Located> found = m_impl->Locate(id);
    if (!found || !found->text) {
        return false;
    }
    XmlNode text = found->text;
    text.put_text(CutName(name));
    Save();
    return true;
}

bool CKeywordTreeFile::SetSearchName(int id, bool searchName) {
    m_impl->EnsureLoaded(m_path);
    const std::optional<Impl::Located> found = m_impl->Locate(id);
    if (!found) {
        return false;
    }
    XmlNode element = found->element;
    element.setAttribute(kSearchNameAttribute, searchName ? "1" : "0");
    Save();
    return true;
}

bool CKeywordTreeFile::MoveNodeToEnd(int id, int newParentId) {
    m_impl->EnsureLoaded(m_path);
    if (id == 0) {
        return false;
    }
    const XmlNode element = m_impl->NodeElement(id);
    XmlNode target = m_impl->NodeElement(newParentId);
    if (!element || !target || IsChildlessChannel(target)) {
        return false;
    }
    // Refused for a target inside the node's own branch.
    return target.appendChild(element);
}

bool CKeywordTreeFile::SetDamagedFileAside() {
    if (!m_damage || m_damageResolved) {
        return true;
    }
    const CalendarTime now = LocalNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".damaged-%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    std::string aside = m_path + stamp;
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(aside)); ++n) {
        aside = m_path + stamp + "-" + std::to_string(n);
    }
    if (std::rename(m_path.c_str(), aside.c_str()) != 0) {
        // A file that is gone has nothing left to lose.
        m_damageResolved = errno == ENOENT;
        return m_damageResolved;
    }
    m_damage->asidePath = aside;
    m_damageResolved = true;
    return true;
}

bool CKeywordTreeFile::Save() {
    m_impl->EnsureLoaded(m_path);
    if (!m_damage && m_impl->damage) {
        // A change made without Load: the damage is learnt here.
        m_damage = TreeFileDamage{*m_impl->damage, ""};
    }
    int error = 0;
    // Never written over the user's only copy of the tree: a damaged file goes aside first.
    if (SetDamagedFileAside()) {
        const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
        std::error_code made;  // a folder that cannot be made shows as a failed save
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, made);
        }
        std::string text = m_impl->Document().serialize();
        const bool saved = !text.empty() && WriteFileAtomically(m_path, text, 0644, &error);
        if (!text.empty()) {
            // Kept as bytes until the next change, also when the file could not be written.
            m_impl->bytes = std::move(text);
            m_impl->document.reset();
        }
        if (saved) {
            return true;
        }
        error = error == 0 ? made.value() : error;
    } else {
        error = errno;
    }
    if (m_saveFailed) {
        m_saveFailed(error);
    }
    return false;
}

void CKeywordTreeFile::SetSaveFailureListener(std::function<void(int errorNumber)> listener) {
    m_saveFailed = std::move(listener);
}

std::vector<ChannelKeyword> ReadTreeChannels(const std::string& path,
                                             std::optional<TreeFileDamage>* damage) {
    // Through Load, so that the tool reads a tree exactly as the window does.
    std::vector<ChannelKeyword> keywords;
    CKeywordTreeFile tree(path);
    tree.Load([&keywords](const CKeywordNode& node, int) {
        if (node.type == NODE_KEY) {
            keywords.push_back({node.name, node.searchName});
        }
    });
    if (damage) {
        *damage = tree.Damage();
    }
    return keywords;
}

std::vector<std::string> ReadChannelKeywords(const std::string& path,
                                             std::optional<TreeFileDamage>* damage) {
    std::vector<std::string> names;
    for (ChannelKeyword& channel : ReadTreeChannels(path, damage)) {
        names.push_back(std::move(channel.name));
    }
    return names;
}
