#include <gtest/gtest.h>

#include "effects/EffectRegistry.h"

namespace glowmarch {
namespace {

// Counts its own destruction, to check the registry destroys each object exactly once.
struct Counted : Demoeffect {
  static inline int destroyed = 0;
  ~Counted() override { ++destroyed; }
};

TEST(EffectRegistry, LookupsNeverInsertAndNamesAreCaseSensitiveBytes) {
  EffectRegistry registry;
  EXPECT_EQ(registry.find("cam"), nullptr);
  EXPECT_FALSE(registry.contains("cam"));
  EXPECT_EQ(registry.size(), 0u);
  Demoeffect* cam = registry.store("cam", std::make_unique<Demoeffect>());
  EXPECT_EQ(registry.find("cam"), cam);
  EXPECT_EQ(registry.find("Cam"), nullptr);
  EXPECT_EQ(registry.find(std::string_view("cam\0x", 5)), nullptr);
}

TEST(EffectRegistry, NameWithoutObjectIsRegisteredButFindsNothing) {
  EffectRegistry registry;
  registry.store("ghost", nullptr);
  EXPECT_TRUE(registry.contains("ghost"));
  EXPECT_EQ(registry.find("ghost"), nullptr);
}

TEST(EffectRegistry, ReplacedObjectsStayAliveUntilClearDestroysEachOnce) {
  Counted::destroyed = 0;
  {
    EffectRegistry registry;
    Demoeffect* first = registry.store("a", std::make_unique<Counted>());
    Demoeffect* second = registry.store("a", std::make_unique<Counted>());
    EXPECT_NE(first, second);
    EXPECT_EQ(registry.find("a"), second);
    first->addChild(second);  // the replaced object is still usable
    EXPECT_EQ(Counted::destroyed, 0);
    registry.clear();
    EXPECT_EQ(Counted::destroyed, 2);
    EXPECT_FALSE(registry.contains("a"));
  }
  EXPECT_EQ(Counted::destroyed, 2);
}

TEST(Demoeffect, CloneCopiesFieldsAndSharesChildrenAtTheTimeOfCloning) {
  Demoeffect source;
  Demoeffect shared;
  source.addChild(&shared);
  source.state = 6;
  source.timer = 2.5;
  source.transform.point[0] = 4.0f;
  auto copy = source.clone();
  EXPECT_EQ(copy->state, 6);
  EXPECT_EQ(copy->timer, 2.5);
  ASSERT_EQ(copy->children.size(), 1u);
  EXPECT_EQ(copy->children[0], &shared);
  copy->transform.point[0] = 9.0f;
  EXPECT_EQ(source.transform.point[0], 4.0f);
  Demoeffect later;
  source.addChild(&later);
  EXPECT_EQ(copy->children.size(), 1u);
}

TEST(Demoeffect, RemoveChildTakesOnlyTheFirstOccurrence) {
  Demoeffect parent;
  Demoeffect a;
  Demoeffect b;
  parent.addChild(&a);
  parent.addChild(&b);
  parent.addChild(&a);
  parent.removeChild(&a);
  EXPECT_EQ(parent.children, (std::vector<Demoeffect*>{&b, &a}));
  Demoeffect stranger;
  parent.removeChild(&stranger);
  EXPECT_EQ(parent.children, (std::vector<Demoeffect*>{&b, &a}));
}

TEST(Demoeffect, ReachesFollowsSharedChildrenWithoutRevisiting) {
  Demoeffect top;
  Demoeffect middle;
  Demoeffect leaf;
  top.addChild(&middle);
  top.addChild(&middle);
  middle.addChild(&leaf);
  EXPECT_TRUE(top.reaches(&leaf));
  EXPECT_TRUE(top.reaches(&top));
  EXPECT_FALSE(leaf.reaches(&top));
}

}  // namespace
}  // namespace glowmarch
