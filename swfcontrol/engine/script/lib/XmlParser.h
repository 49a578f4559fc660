// Reading and writing XML text as Flash Player's XML class does: lenient
// where it was (unknown entities stay as written, attributes need no space
// between them), stopping at the first fault with the status code the
// player gave for it. Knows nothing of script objects: the tree is built
// by an XmlSink.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace swf::script {

// XML.status.
enum XmlStatus : int {
    XmlOk = 0,
    XmlCdataUnterminated = -2,
    XmlDeclarationUnterminated = -3,
    XmlDoctypeUnterminated = -4,
    XmlCommentUnterminated = -5,
    XmlElementMalformed = -6,
    XmlOutOfMemory = -7, // also: past a limit of ours
    XmlAttributeUnterminated = -8,
    XmlStartTagUnmatched = -9,
    XmlEndTagUnmatched = -10,
};

struct XmlAttribute {
    std::u16string_view name;
    std::u16string value; // entities decoded
};

class XmlSink {
public:
    virtual ~XmlSink() = default;
    // Each returns false to stop the parse as out of memory.
    // `attributes` are in the order written.
    virtual bool startElement(std::u16string_view name, const std::vector<XmlAttribute>& attributes) = 0;
    virtual void endElement() = 0;
    // Text between tags (entities decoded) or a CDATA section's (as written).
    virtual bool text(std::u16string_view text) = 0;
    // A whole `<?...?>`, and a whole `<!DOCTYPE ...>` (any other `<!...>`).
    virtual bool declaration(std::u16string_view text) = 0;
    virtual bool doctype(std::u16string_view text) = 0;
};

// Elements nested deeper than this stop a parse as out of memory.
constexpr std::size_t kXmlMaxDepth = 8192;

// Whitespace-only text is dropped when `ignoreWhite`. What was read before
// a fault stays in the sink's tree.
XmlStatus parseXml(std::u16string_view text, bool ignoreWhite, XmlSink& sink);

// &lt; &gt; &amp; &quot; &apos; and character references; anything else
// that starts with '&' stays as written.
std::u16string decodeXmlEntities(std::u16string_view text);
// Text and attribute values as XML.toString writes them.
void appendXmlEscaped(std::u16string& out, std::u16string_view text);

} // namespace swf::script
