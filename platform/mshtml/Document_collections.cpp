// The document's element collections: all, images, links, anchors, by tag name and
// by id. Each is a snapshot in document order.
#include "platform/mshtml/DocumentInternal.h"

namespace mshtml {

ElementList Document::GetAll() const {
  return CollectElements(this, [](Element*) { return true; });
}

ElementList Document::GetImages() const {
  return CollectElements(this, [](Element* e) { return e->IsHtml() && e->GetTagId() == TAGID_IMG; });
}

ElementList Document::GetLinks() const {
  return CollectElements(this, [](Element* e) {
    return e->IsHtml() && (e->GetTagId() == TAGID_A || e->GetTagId() == TAGID_AREA) && e->FindAttribute(u"href");
  });
}

ElementList Document::GetAnchors() const {
  return CollectElements(this, [](Element* e) {
    return e->IsHtml() && e->GetTagId() == TAGID_A && e->FindAttribute(u"name");
  });
}

ElementList Document::GetElementsByTagName(const WideString& name) const {
  const bool all = name.empty() || name == u"*";
  return CollectElements(this, [&](Element* e) { return all || SameTextW(e->GetTagName(), name); });
}

Element* Document::GetElementById(const WideString& id) const {
  if (id.empty()) return nullptr;
  Element* byName = nullptr;
  Element* found = nullptr;
  WalkTree(this, [&](const Node* n) {
    if (found) return false;
    if (n->GetNodeType() != NODE_ELEMENT) return true;
    auto* e = const_cast<Element*>(static_cast<const Element*>(n));
    const Attribute* a = e->FindAttribute(u"id");
    if (a && a->Value == id) {
      found = e;
      return false;
    }
    if (!byName) {
      const Attribute* name = e->FindAttribute(u"name");
      if (name && name->Value == id) byName = e;
    }
    return true;
  });
  return found ? found : byName;
}

}  // namespace mshtml
