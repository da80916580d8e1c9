#include <ui/handles.h>

#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(Handles, StableDistinctAndGoneWithTheirWindow) {
  auto a = std::make_unique<QWidget>();
  auto b = std::make_unique<QWidget>();
  ui::HWND ha = ui::handleOf(a.get());
  ui::HWND hb = ui::handleOf(b.get());
  EXPECT_NE(ha, 0u);
  EXPECT_NE(ha, hb);
  EXPECT_EQ(ui::handleOf(a.get()), ha);
  EXPECT_TRUE(ui::isWindow(hb));
  EXPECT_EQ(ui::handleOf(nullptr), 0u);
  EXPECT_EQ(ui::objectOf(0), nullptr);

  a.reset();
  EXPECT_EQ(ui::objectOf(ha), nullptr);
  EXPECT_FALSE(ui::isWindow(ha));
  // A new window never takes a dead window's handle.
  QWidget c;
  EXPECT_NE(ui::handleOf(&c), ha);

  QObject plain;
  ui::HWND hp = ui::handleOf(&plain);
  EXPECT_EQ(ui::objectOf(hp), &plain);
}

}  // namespace
