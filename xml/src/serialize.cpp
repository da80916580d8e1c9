// Writing nodes as XML text the way the platform DOM does: no added white space, "<x/>" for an
// element without children, attributes in double quotes, and only the characters markup needs
// escaped. Control characters (the record format's U+0011-U+0016 among them) go out raw.
#include <xml/escape.h>

#include "node_impl.h"

namespace xml {

namespace {

void appendAttribute(std::u16string& out, const NodeImpl& a) {
  out += a.name;
  out += u"=\"";
  appendMarkupEscaped(out, a.value, true);
  out += u'"';
}

}  // namespace

void writeXml(const NodeImpl* root, std::u16string& out) {
  if (root->type == NodeType::Attribute) return appendAttribute(out, *root);
  walkTree(
      const_cast<NodeImpl*>(root),
      [&](NodeImpl* n) {
        switch (n->type) {
          case NodeType::Element:
            out += u'<';
            out += n->name;
            for (auto& a : n->attrs) {
              out += u' ';
              appendAttribute(out, *a);
            }
            out += n->children.empty() ? u"/>" : u">";
            return true;
          case NodeType::Text: appendMarkupEscaped(out, n->value, false); break;
          case NodeType::CData:
            out += u"<![CDATA[";
            out += n->value;
            out += u"]]>";
            break;
          case NodeType::Comment:
            out += u"<!--";
            out += n->value;
            out += u"-->";
            break;
          case NodeType::DocumentType:
            out += u"<!DOCTYPE ";
            out += n->value;
            out += u'>';
            break;
          case NodeType::ProcessingInstruction:
            out += u"<?";
            out += n->name;
            if (!n->value.empty()) {
              out += u' ';
              out += n->value;
            }
            out += u"?>";
            break;
          default: return true;  // document: its children
        }
        return false;
      },
      [&](NodeImpl* n) {
        if (n->type == NodeType::Element && !n->children.empty()) {
          out += u"</";
          out += n->name;
          out += u'>';
        }
      });
}

}  // namespace xml
