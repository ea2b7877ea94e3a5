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
  int32_t at = 0;
  if (count_ - 1 - index < index) {
    node = tail_;
    at = count_ - 1;
  }
  if (cursor_ != nullptr) {
    const int32_t fromCursor = cursorIndex_ > index ? cursorIndex_ - index : index - cursorIndex_;
    const int32_t fromEnd = at > index ? at - index : index - at;
    if (fromCursor < fromEnd) {
      node = cursor_;
      at = cursorIndex_;
    }
  }
  for (; at < index; ++at) node = node->next;
  for (; at > index; --at) node = node->previous;
  cursor_ = node;
  cursorIndex_ = index;
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
  cursor_ = nullptr;
  cursorIndex_ = -1;
  delete node->object;
  delete node;
}

RootObject* ObjectList::Exchange(int32_t index, RootObject* object) {
  Node* node = NodeAt(index);
  if (node == nullptr) return nullptr;
  RootObject* previous = node->object;
  node->object = object;
  return previous;
}

RootObject* ObjectList::Get(int32_t index) const {
  Node* node = NodeAt(index);
  return node != nullptr ? node->object : nullptr;
}

}  // namespace orla
