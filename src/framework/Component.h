#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace patchpav {

// A component belongs to its owner, which keeps its components in the order they were created
// and destroys them, last created first, when it is destroyed itself. A component is created
// through its owner (CreateComponent), so the owner is the only one that frees it.
class TComponent {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  virtual ~TComponent() { DestroyComponents(); }
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent& Component(int index) const { return *components_.at(static_cast<size_t>(index)); }
  // Null when no component of this owner carries the name.
  TComponent* FindComponent(const std::string& name) const;

  // Creates a component of type T owned by this one: T's constructor takes the owner first.
  template <class T, class... Args>
  T& CreateComponent(Args&&... args) {
    auto component = std::make_unique<T>(this, std::forward<Args>(args)...);
    T& result = *component;
    components_.push_back(std::move(component));
    return result;
  }

  // Destroys every owned component, the last created first.
  void DestroyComponents();

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<std::unique_ptr<TComponent>> components_;
};

}  // namespace patchpav
