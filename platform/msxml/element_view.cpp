// XmlElementView: direct reading of the DOM's elements.
#include "platform/msxml/internal.h"

#include "platform/com/com_ptr.h"

namespace skyvane {

using namespace msxml;

namespace {
pugi::xml_node AsNode(void* p) { return pugi::xml_node(static_cast<pugi::xml_node_struct*>(p)); }

pugi::xml_node ElementFrom(pugi::xml_node n) {
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    return n;
}
}  // namespace

XmlElementView XmlElementView::Of(IUnknown* node) noexcept {
    if (!node) return {};
    ComPtr<IXmlNativeNode> native;
    if (FAILED(node->QueryInterface(IID_IXmlNativeNode, reinterpret_cast<void**>(&native))) || !native) return {};
    return XmlElementView(native->NativeElement());
}

std::string_view XmlElementView::Name() const noexcept { return AsNode(node_).name(); }

const char* XmlElementView::NameData() const noexcept { return AsNode(node_).name(); }

std::string_view XmlElementView::Text(std::string& scratch) const { return NodeText(AsNode(node_), scratch); }

bool XmlElementView::Attribute(std::string_view name, std::string_view& value) const noexcept {
    for (pugi::xml_attribute a = AsNode(node_).first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name()) {
            value = a.value();
            return true;
        }
    }
    return false;
}

XmlElementView XmlElementView::FirstChild() const noexcept {
    return XmlElementView(ElementFrom(AsNode(node_).first_child()).internal_object());
}

XmlElementView XmlElementView::Next() const noexcept {
    return XmlElementView(ElementFrom(AsNode(node_).next_sibling()).internal_object());
}

}  // namespace skyvane
