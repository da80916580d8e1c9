// Shared set-up of the directory-window and configuration-document tests: a temporary home
// with the Kelvra stand-in registered, a record server "main" (databases books and
// catalog.xml, accounts public and cat/secret, an access-point list in books) and the
// scripted answers to every modal window.
#pragma once

#include "store/store.h"

#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

class KelvraHome : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    // Cache files of configuration documents go to the temporary folder.
    if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
    int32_t error = 0;
    store_ = kelvra::Store::create(u"main", &error);
    ASSERT_TRUE(store_) << error;
    ASSERT_EQ(store_->createDatabase(u"books"), 0);
    ASSERT_EQ(store_->createDatabase(u"catalog.xml"), 0);
    ASSERT_EQ(store_->putAccount(u"cat", u"secret"), 0);
    putDocument(u"books", u"from", u"<froms><from alias=\"题名\"/><from alias=\"ISBN\"/><from/></froms>");
  }

  void TearDown() override {
    if (oldTmp_) setenv("TMPDIR", oldTmp_->c_str(), 1);
    else unsetenv("TMPDIR");
  }

  int64_t databaseId(std::u16string_view name) {
    int32_t error = 0;
    auto db = store_->findDatabase(name, &error);
    EXPECT_TRUE(db) << error;
    return db ? db->id : 0;
  }
  void putDocument(std::u16string_view db, std::u16string_view name, std::u16string_view text) {
    ASSERT_EQ(store_->putDocument(databaseId(db), name, text), 0);
  }

  qtest::TempHome home_;
  qtest::TempDir tmp_;
  uitest::ModalScript script_;
  std::shared_ptr<kelvra::Store> store_;
  std::optional<std::string> oldTmp_;
};
