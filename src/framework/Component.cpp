#include "framework/Component.h"

namespace patchpav {

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (const auto& component : components_) {
    if (component->Name() == name) return component.get();
  }
  return nullptr;
}

void TComponent::DestroyComponents() {
  // One at a time from the end: a component's destructor may still look at its siblings.
  while (!components_.empty()) {
    std::unique_ptr<TComponent> last = std::move(components_.back());
    components_.pop_back();
    last.reset();
  }
}

}  // namespace patchpav
