#include "store/keyword_tree_reader.h"

#include "base/text_util.h"
#include "xml/xml_parse.h"

namespace {

constexpr char kNodeName[] = "KEYWORDNODE";
constexpr char kSearchNameAttribute[] = "SEARCHNAME";

enum Field { kNoField = -1, kIdField = 0, kTypeField = 1, kTextField = 2 };

Field FieldNamed(std::string_view name) {
    return name == "ID"         ? kIdField
           : name == "NODETYPE" ? kTypeField
           : name == "TEXT"     ? kTextField
                                : kNoField;
}

bool IsBlankText(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Builds the nodes as the document's elements stream past. A field's text is what a document
// gives for it: every text below it, less the blank text nodes of an element that has
// element children.
class TreeReader final : public XmlStreamHandler {
public:
    explicit TreeReader(StreamedTree& tree) : m_tree(tree) {}

    void StartElement(const XmlStreamElement& element) override {
        m_inTextRun = false;
        Frame frame;
        const std::string name = element.QualifiedName();
        if (m_frames.empty()) {
            m_tree.rootName = name;
            frame.root = true;
        } else {
            Frame& parent = m_frames.back();
            parent.hasElementChild = true;
            const Field field = FieldNamed(name);
            if (field != kNoField && !parent.seen[field]) {
                parent.seen[field] = true;
                frame.field = field;
            }
            frame.needsText = frame.field != kNoField || parent.needsText;
            if (name == kNodeName) {
                frame.node = static_cast<int>(m_tree.nodes.size());
                frame.slot = NewSlot(0);
                CKeywordNode node;
                node.type = NODE_FOLDER;
                const std::optional<std::string> searchName =
                    element.Attribute(kSearchNameAttribute);
                node.searchName = !searchName || ParseLeadingInt(*searchName) != 0;
                m_tree.nodes.push_back(std::move(node));
                m_links.push_back({frame.slot, SlotOf(parent)});
            }
        }
        m_frames.push_back(std::move(frame));
    }

    void EndElement() override {
        m_inTextRun = false;
        Frame frame = std::move(m_frames.back());
        m_frames.pop_back();
        if (!frame.needsText || m_frames.empty()) {
            return;
        }
        std::string text;
        for (const Piece& piece : frame.pieces) {
            if (!(piece.blankText && frame.hasElementChild)) {
                text += piece.text;
            }
        }
        Frame& parent = m_frames.back();
        if (parent.needsText) {
            parent.pieces.push_back({text, false});
        }
        SetField(parent, frame.field, std::move(text));
    }

    void Text(std::string_view text, bool cdata) override {
        if (m_frames.empty() || !m_frames.back().needsText) {
            return;
        }
        std::vector<Piece>& pieces = m_frames.back().pieces;
        if (m_inTextRun && !cdata) {
            pieces.back().text.append(text);
            pieces.back().blankText = pieces.back().blankText && IsBlankText(text);
        } else {
            pieces.push_back({std::string(text), !cdata && IsBlankText(text)});
        }
        m_inTextRun = !cdata;
    }

    void Markup() override { m_inTextRun = false; }

    // Gives each node its own ID and its parent's, once every field has been read.
    void ResolveIds() {
        for (std::size_t i = 0; i < m_tree.nodes.size(); ++i) {
            m_tree.nodes[i].id = m_slotIds[static_cast<std::size_t>(m_links[i].own)];
            m_tree.nodes[i].parentId = m_slotIds[static_cast<std::size_t>(m_links[i].parent)];
        }
    }

private:
    struct Piece {
        std::string text;
        bool blankText = false;  // a text node of blanks only
    };
    struct Frame {
        bool root = false;
        int node = -1;           // the index in m_tree.nodes of a KEYWORDNODE
        int slot = -1;           // the element's ID in m_slotIds, once a node needs it
        int id = 0;              // the element's first ID field, 0 until read
        Field field = kNoField;  // the first field of its name in its parent
        bool seen[3] = {false, false, false};  // the fields met among its children
        bool needsText = false;                // a field, or inside one
        bool hasElementChild = false;
        std::vector<Piece> pieces;  // the texts below it, while needsText
    };
    struct Links {
        int own = 0;
        int parent = 0;
    };

    int NewSlot(int id) {
        m_slotIds.push_back(id);
        return static_cast<int>(m_slotIds.size()) - 1;
    }

    // An element's ID slot; the root's ID always reads 0.
    int SlotOf(Frame& element) {
        if (element.slot < 0) {
            element.slot = NewSlot(element.root ? 0 : element.id);
        }
        return element.slot;
    }

    void SetField(Frame& element, Field field, std::string text) {
        if (field == kIdField && !element.root) {
            element.id = ParseLeadingInt(text);
            if (element.slot >= 0) {
                m_slotIds[static_cast<std::size_t>(element.slot)] = element.id;
            }
        } else if (field == kTypeField && element.node >= 0) {
            m_tree.nodes[static_cast<std::size_t>(element.node)].type =
                EqualsIgnoreAsciiCase(text, "KEY") ? NODE_KEY : NODE_FOLDER;
        } else if (field == kTextField && element.node >= 0) {
            m_tree.nodes[static_cast<std::size_t>(element.node)].name =
                CutToCodePageLimit(text, kMaxNodeNameCodePageBytes);
        } else if (field == kTextField && element.root) {
            m_tree.rootLabel = std::move(text);
        }
    }

    StreamedTree& m_tree;
    std::vector<Frame> m_frames;  // the open elements, the document element first
    std::vector<int> m_slotIds;
    std::vector<Links> m_links;  // beside m_tree.nodes
    bool m_inTextRun = false;    // the last call was text of a text node
};

}  // namespace

StreamedTree StreamKeywordTree(std::string_view bytes) {
    StreamedTree tree;
    TreeReader reader(tree);
    const StreamedXml read = StreamXmlBytes(bytes, XmlParseLimits{}, reader);
    tree.error = read.error;
    tree.hasDoctype = read.hasDoctype;
    if (read.error.empty()) {
        reader.ResolveIds();
    } else {
        tree.nodes.clear();
    }
    return tree;
}
