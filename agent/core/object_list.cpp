#include "agent/core/object_list.h"

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"

namespace orla {

ObjectList::~ObjectList() {
  Node* node = head_;
  while (node != nullptr) {
    Node* next = node->next;
    delete node->object;
    delete node;
    node = next;
  }
}

void ObjectList::Append(RootObject* object) {
  if (object == nullptr) return;
  Node* node = new Node{object, nullptr, tail_};
  if (tail_ != nullptr) {
    tail_->next = node;
  } else {
    head_ = node;
  }
  tail_ = node;
  ++count_;
}

ObjectList::Node* ObjectList::NodeAt(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  Node* node = head_;
  for (int32_t i = 0; i < index; ++i) node = node->next;
  return node;
}

void ObjectList::Remove(int32_t index) {
  Node* node = NodeAt(index);
  if (node == nullptr) throw new OrlaException(kErrInvalidParameter, 0, kMsgInvalidParameter);
  if (node->previous != nullptr) {
    node->previous->next = node->next;
  } else {
    head_ = node->next;
  }
  if (node->next != nullptr) {
    node->next->previous = node->previous;
  } else {
    tail_ = node->previous;
  }
  --count_;
  delete node->object;
  delete node;
}

RootObject* ObjectList::Get(int32_t index) const {
  Node* node = NodeAt(index);
  return node != nullptr ? node->object : nullptr;
}

}  // namespace orla
