// Objects that live to the end of the process.
#pragma once

#include <new>
#include <utility>

// Holds a T built in place whose destructor never runs. For function-local statics
// that other threads, or other statics' destructors, may still use while the process
// exits: `static NoDestructor<Table> table;` then `table->...` or `*table`.
template <typename T>
class NoDestructor {
 public:
  template <typename... Args>
  explicit NoDestructor(Args&&... args) {
    new (storage_) T(std::forward<Args>(args)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;
  ~NoDestructor() = default;

  T& operator*() noexcept { return *Get(); }
  T* operator->() noexcept { return Get(); }
  T* Get() noexcept { return std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};
