#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "agent/core/object_list.h"
#include "agent/core/orla_exception.h"
#include "tests/support/event_log_capture.h"

using namespace orla;

namespace {

// Counts live instances so the tests see what the list deletes.
class Tracked : public RootObject {
 public:
  explicit Tracked(int value) : value(value) { ++alive; }
  ~Tracked() override { --alive; }
  int value;
  static int alive;
};
int Tracked::alive = 0;

int ValueAt(const ObjectList& list, int index) { return static_cast<Tracked*>(list.Get(index))->value; }

}  // namespace

TEST(ObjectList, EmptyListEdges) {
  test::EventLogCapture log;
  ObjectList list;
  EXPECT_EQ(list.Get(0), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Append(nullptr);
  EXPECT_EQ(list.Count(), 0);
  try {
    list.Remove(0);
    FAIL() << "remove on an empty list must throw";
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    EXPECT_EQ(owned->Code(), 2003);
    EXPECT_EQ(owned->Message(), "A parameter is invalid.");
  }
  EXPECT_EQ(log.Count("WARNING: A parameter is invalid."), 1);
}

TEST(ObjectList, AppendGetAndOutOfRange) {
  ObjectList list;
  for (int i = 0; i < 4; ++i) list.Append(new Tracked(i));
  EXPECT_EQ(list.Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ValueAt(list, i), i);
  EXPECT_EQ(list.Get(4), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
}

TEST(ObjectList, RemoveRelinksHeadMiddleAndTail) {
  test::EventLogCapture log;
  Tracked::alive = 0;
  {
    ObjectList list;
    for (int i = 0; i < 5; ++i) list.Append(new Tracked(i));
    list.Remove(2);  // middle
    list.Remove(0);  // head
    list.Remove(2);  // tail
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(ValueAt(list, 0), 1);
    EXPECT_EQ(ValueAt(list, 1), 3);
    EXPECT_EQ(Tracked::alive, 2);
    try {
      list.Remove(2);
      FAIL();
    } catch (OrlaException* e) {
      std::unique_ptr<OrlaException> owned(e);
      EXPECT_EQ(owned->Code(), 2003);
    }
    list.Append(new Tracked(9));
    EXPECT_EQ(ValueAt(list, 2), 9);
  }
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(ObjectList, RemovingTheOnlyObjectLeavesAnUsableEmptyList) {
  Tracked::alive = 0;
  ObjectList list;
  list.Append(new Tracked(7));
  list.Remove(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Get(0), nullptr);
  EXPECT_EQ(Tracked::alive, 0);
  list.Append(new Tracked(8));
  EXPECT_EQ(ValueAt(list, 0), 8);
  EXPECT_EQ(list.Count(), 1);
}

// Access by position walks on from the position last reached: any order of
// look-ups, removals and exchanges finds the right object.
TEST(ObjectList, LookUpsInAnyOrderAroundRemovalsAndExchanges) {
  Tracked::alive = 0;
  ObjectList list;
  std::vector<int> model;
  for (int i = 0; i < 12; ++i) {
    list.Append(new Tracked(i));
    model.push_back(i);
  }
  auto check = [&](std::initializer_list<int> order) {
    for (int index : order) EXPECT_EQ(ValueAt(list, index), model[static_cast<size_t>(index)]) << index;
  };
  check({0, 1, 2, 11, 10, 5, 6, 4, 9, 3, 7, 8, 0});
  list.Remove(6);  // the position last reached goes
  model.erase(model.begin() + 6);
  check({6, 5, 7, 10, 0, 9});
  RootObject* old = list.Exchange(9, new Tracked(99));
  EXPECT_EQ(static_cast<Tracked*>(old)->value, model[9]);
  delete old;
  model[9] = 99;
  Tracked spare(0);
  EXPECT_EQ(list.Exchange(11, &spare), nullptr);  // out of range: not taken
  check({10, 9, 8, 0, 10});
  EXPECT_EQ(Tracked::alive, 12);  // eleven in the list and the spare
}
