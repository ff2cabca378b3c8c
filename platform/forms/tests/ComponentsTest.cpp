#include "platform/forms/Components.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace forms;

namespace {

// Components are told about by address; tests compare addresses as numbers
// since some of them are gone by then.
uintptr_t Key(const TComponent* c) { return reinterpret_cast<uintptr_t>(c); }

// Records its own destruction and the notifications it hears.
class Probe : public TComponent {
public:
  Probe(TComponent* owner, std::string id, std::vector<std::string>* log) : TComponent(owner), id_(std::move(id)), log_(log) {}
  ~Probe() override {
    BeginDestruction();
    log_->push_back("free " + id_);
  }
  std::vector<std::pair<uintptr_t, TOperation>> heard;
  bool destroyingSeenByChild = false;

protected:
  void Notification(TComponent* c, TOperation op) override {
    heard.emplace_back(Key(c), op);
    TComponent::Notification(c, op);
  }
  void Loaded() override {
    TComponent::Loaded();
    log_->push_back("loaded " + id_);
  }

private:
  std::string id_;
  std::vector<std::string>* log_;
};

}  // namespace

TEST(Component, OwnerFreesWhatItOwnsLastCreatedFirst) {
  std::vector<std::string> log;
  auto owner = std::make_unique<Probe>(nullptr, "owner", &log);
  auto* a = new Probe(owner.get(), "a", &log);
  new Probe(owner.get(), "b", &log);
  new Probe(a, "a1", &log);
  new Probe(owner.get(), "c", &log);
  ASSERT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(a->ComponentIndex(), 0);
  EXPECT_EQ(a->Owner(), owner.get());
  owner.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"free c", "free b", "free a1", "free a", "free owner"}));
}

TEST(Component, FreeingOneLeavesItsOwnerAndTellsTheOwnerTree) {
  std::vector<std::string> log;
  Probe owner(nullptr, "owner", &log);
  auto* a = new Probe(&owner, "a", &log);
  auto* b = new Probe(&owner, "b", &log);
  // Inserting told the owner and every component it already owned.
  EXPECT_EQ(a->heard.back(), std::make_pair(Key(b), opInsert));
  const uintptr_t aKey = Key(a);
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), b);
  EXPECT_EQ(owner.heard.back(), std::make_pair(aKey, opRemove));
  EXPECT_EQ(b->heard.back(), std::make_pair(aKey, opRemove));
  EXPECT_THROW(owner.Components(1), rtl::EListError);
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
  std::vector<std::string> log;
  Probe watcher(nullptr, "watcher", &log);
  auto watched = std::make_unique<Probe>(nullptr, "watched", &log);
  auto other = std::make_unique<Probe>(nullptr, "other", &log);
  watched->FreeNotification(&watcher);
  other->FreeNotification(&watcher);
  other->RemoveFreeNotification(&watcher);
  const uintptr_t w = Key(watched.get());
  watched.reset();
  other.reset();
  ASSERT_EQ(watcher.heard.size(), 1u);
  EXPECT_EQ(watcher.heard[0], std::make_pair(w, opRemove));

  // A watcher freed first is forgotten by what it watched.
  auto shortLived = std::make_unique<Probe>(nullptr, "short", &log);
  Probe target(nullptr, "target", &log);
  target.FreeNotification(shortLived.get());
  shortLived.reset();  // must not leave a dangling entry behind in target
}

TEST(Component, NamesAreIdentifiersUniqueAmongSiblingsIgnoringCase) {
  std::vector<std::string> log;
  Probe owner(nullptr, "owner", &log);
  auto* a = new Probe(&owner, "a", &log);
  auto* b = new Probe(&owner, "b", &log);
  a->SetName("btnOK");
  EXPECT_EQ(owner.FindComponent("BTNok"), a);
  EXPECT_EQ(owner.FindComponent("missing"), nullptr);
  EXPECT_THROW(b->SetName("BtnOk"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  for (const char* bad : {"1abc", "a b", "a-b", "ä"}) {
    EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
  }
  b->SetName("_x2");
  a->SetName("BTNOK");  // renaming itself with other case is fine
  a->SetName("");
  b->SetName("btnOK");
  try {
    a->SetName("btnok");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(std::string(e.what()), "A component named btnok already exists");
  }
  // A named component moving under an owner that has the name refuses.
  Probe other(nullptr, "other", &log);
  other.SetName("btnOK");
  EXPECT_THROW(owner.InsertComponent(&other), EComponentError);
}

TEST(Component, StatesDuringLoadingAndDestruction) {
  std::vector<std::string> log;
  auto owner = std::make_unique<Probe>(nullptr, "owner", &log);
  auto* child = new Probe(owner.get(), "child", &log);
  owner->BeginLoad();
  EXPECT_TRUE(child->ComponentState().Contains(csLoading));
  EXPECT_TRUE(owner->ComponentState().Contains(csReading));
  owner->EndLoad();
  EXPECT_EQ(log, (std::vector<std::string>{"loaded child", "loaded owner"}));
  EXPECT_FALSE(child->ComponentState().Contains(csLoading));
  EXPECT_FALSE(owner->ComponentState().Contains(csDesigning));

  struct Spy : TComponent {
    Spy(TComponent* o, bool* f) : TComponent(o), owner(o), flag(f) {}
    ~Spy() override { *flag = owner->ComponentState().Contains(csDestroying); }
    TComponent* owner;
    bool* flag;
  };
  bool seen = false;
  new Spy(owner.get(), &seen);
  owner.reset();
  EXPECT_TRUE(seen);
}
