#pragma once
// An owning doubly linked list of root objects with access by position.
// It takes no lock of its own: its users guard it.
#include <cstdint>

#include "agent/core/root_object.h"

namespace orla {

class ObjectList : public RootObject {
 public:
  ObjectList() = default;
  ~ObjectList() override;
  ObjectList(const ObjectList&) = delete;
  ObjectList& operator=(const ObjectList&) = delete;

  // Takes ownership of `object` and puts it at the tail; null is ignored.
  void Append(RootObject* object);
  // Deletes the object at `index`; throws OrlaException 2003 when out of range.
  void Remove(int32_t index);
  // Puts `object` (owned from now on) at `index` in place of the object
  // there, which is handed back to the caller; null when `index` is out of
  // range (then `object` is not taken).
  RootObject* Exchange(int32_t index, RootObject* object);
  // The object at `index` (0 is the head), still owned by the list; null when
  // `index` is outside 0 .. Count() - 1. The walk starts from the head, the
  // tail or the position last reached, whichever is nearest: a scan in index
  // order takes one step per object, also for thousands of objects.
  RootObject* Get(int32_t index) const;
  int32_t Count() const { return count_; }

 private:
  struct Node {
    RootObject* object;
    Node* next;
    Node* previous;
  };

  Node* NodeAt(int32_t index) const;

  int32_t count_ = 0;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  // The node last reached and its index (none after a removal): the users'
  // own lock guards it like the rest of the list.
  mutable Node* cursor_ = nullptr;
  mutable int32_t cursorIndex_ = -1;
};

}  // namespace orla
