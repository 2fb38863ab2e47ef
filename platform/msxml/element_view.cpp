// XmlElementView and XmlDocumentView: direct reading of the DOM's elements.
#include "platform/msxml/internal.h"

#include <cstring>

#include "platform/com/com_ptr.h"

namespace skyvane {

using namespace msxml;

XmlDocumentView XmlDocumentView::Of(IUnknown* document) noexcept {
    if (!document) return {};
    ComPtr<IXmlNativeDocument> native;
    if (FAILED(document->QueryInterface(IID_IXmlNativeDocument, reinterpret_cast<void**>(&native))) || !native)
        return {};
    XmlDocumentView view;
    TreePtr tree = native->NativeTree();
    pugi::xml_node root = tree->doc.document_element();
    if (!root) return {};
    view.root_ = XmlElementView(ToView(root));
    view.tree_ = std::move(tree);
    return view;
}

const char* XmlElementView::NameData() const noexcept { return FromView(node_).name(); }

std::string_view XmlElementView::Text(std::string& scratch) const { return NodeText({FromView(node_)}, scratch); }

bool XmlElementView::Attribute(std::string_view name, std::string_view& value) const noexcept {
    for (pugi::xml_attribute a = FromView(node_).first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name()) {
            value = a.value();
            return true;
        }
    }
    return false;
}

void XmlElementView::AppendChildren(std::vector<XmlChild>& out) const {
    // Tested as the pointers they are: the parser's own test of an empty node
    // is a call into the library, and this loop runs for every element.
    for (pugi::xml_node c = FromView(node_).first_child(); ToView(c); c = c.next_sibling()) {
        // Only elements have names (the parser keeps no processing
        // instructions or declarations): texts, CDATA sections and comments
        // are passed over.
        const char* name = c.name();
        if (*name) out.push_back({XmlElementView(ToView(c)), name, ToView(c.first_child()) ? nullptr : c.value()});
    }
}

}  // namespace skyvane
