// The drop target with synthetic drag events: text and files from other programs.
#include "drop_target.h"

#include <platform/text.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

struct Dropped {
  QPoint point;
  std::u16string text;
};

struct DropTarget : ::testing::Test {
  QWidget editor;
  std::vector<Dropped> dropped;
  std::unique_ptr<CEditorDropTarget> target = std::make_unique<CEditorDropTarget>(
      &editor, [this](const QPoint& p, std::u16string_view t) { dropped.push_back({p, std::u16string(t)}); });

  // Drags data onto the window and drops it at point (Qt hands a drop only to the widget
  // that took the drag's entry); true when the drop was taken.
  bool drop(const QMimeData& data, QPoint point = {30, 40}) {
    QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &enter);
    QDropEvent e(QPointF(point), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &e);
    return e.isAccepted() && e.dropAction() == Qt::CopyAction;
  }
};

std::unique_ptr<QMimeData> text(const QString& t) {
  auto d = std::make_unique<QMimeData>();
  d->setText(t);
  return d;
}

TEST_F(DropTarget, TextIsTakenWhenItsBlockFits) {
  // The block holds the text and its NUL in UTF-16: at most 10239 bytes.
  struct Case {
    qsizetype length;
    bool taken;
  } cases[] = {{0, true}, {1, true}, {5000, true}, {5118, true}, {5119, false}, {5200, false}};
  for (const Case& c : cases) {
    dropped.clear();
    QString t(c.length, QChar(u'字'));
    EXPECT_EQ(drop(*text(t)), c.taken) << c.length;
    ASSERT_EQ(dropped.size(), c.taken ? 1u : 0u) << c.length;
    if (c.taken) {
      EXPECT_EQ(dropped[0].text.size(), size_t(c.length));
      EXPECT_EQ(dropped[0].point, QPoint(30, 40));
    }
  }
}

TEST_F(DropTarget, AnsiTextIsCountedInItsOwnBytes) {
  // GBK text: two bytes a Chinese character, one an ASCII one; the block with its NUL
  // holds at most 10239 bytes, whatever the UTF-16 text would take.
  struct Case {
    int chinese, ascii;
    const char* charset;
    bool taken;
  } cases[] = {
      {5119, 0, "GBK", true},       // 10238 bytes + NUL
      {5119, 1, "gbk", false},      // 10239 bytes + NUL
      {0, 10238, "gb2312", true},   // 10238 ASCII characters: 20478 bytes in UTF-16
      {0, 10239, "GB18030", false},
      {2560, 5000, "gbk", true},    // 5120 + 5000 bytes
  };
  for (const Case& c : cases) {
    dropped.clear();
    QByteArray bytes;
    for (int i = 0; i < c.chinese; ++i) bytes += "\xD6\xD0";  // 中
    bytes += QByteArray(c.ascii, 'x');
    QMimeData data;
    data.setData(QStringLiteral("text/plain;charset=") + QLatin1String(c.charset), bytes);
    EXPECT_EQ(drop(data), c.taken) << c.chinese << " + " << c.ascii;
    ASSERT_EQ(dropped.size(), c.taken ? 1u : 0u) << c.chinese << " + " << c.ascii;
    if (c.taken) {
      EXPECT_EQ(dropped[0].text.size(), size_t(c.chinese + c.ascii));
      EXPECT_EQ(dropped[0].text.substr(0, c.chinese ? 1 : 0), c.chinese ? u"中" : u"");
    }
  }
  // Unicode text comes first when both are offered.
  QMimeData both;
  both.setText(QStringLiteral("unicode"));
  both.setData(QStringLiteral("text/plain;charset=gbk"), "ansi");
  dropped.clear();
  EXPECT_TRUE(drop(both));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].text, u"unicode");
}

TEST_F(DropTarget, TextEndsAtItsNul) {
  ASSERT_TRUE(drop(*text(QString::fromUtf16(u"ab\0cd", 5))));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(platform::toUtf8(dropped[0].text), "ab");
}

TEST_F(DropTarget, FilesInsertTheFirstPathButAnswerNotTaken) {
  QMimeData files;
  files.setUrls({QUrl("https://example.org/x"), QUrl::fromLocalFile("/tmp/目录/a b.mrc"),
                 QUrl::fromLocalFile("/tmp/second.mrc")});
  EXPECT_FALSE(drop(files, {5, 6}));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(platform::toUtf8(dropped[0].text), "/tmp/目录/a b.mrc");
  EXPECT_EQ(dropped[0].point, QPoint(5, 6));

  // A path longer than the buffer is cut to it.
  QMimeData longPath;
  longPath.setUrls({QUrl::fromLocalFile("/" + QString(12000, 'p'))});
  dropped.clear();
  EXPECT_FALSE(drop(longPath));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].text.size(), size_t(CEditorDropTarget::kTextUnits - 1));
  // ... between characters: a pair that the buffer's end would split goes whole.
  QMimeData pairAtTheEnd;
  pairAtTheEnd.setUrls({QUrl::fromLocalFile("/" + QString(CEditorDropTarget::kTextUnits - 3, 'p') +
                                            QString::fromUtf16(u"\U0002000B.mrc"))});
  dropped.clear();
  EXPECT_FALSE(drop(pairAtTheEnd));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].text, u"/" + std::u16string(CEditorDropTarget::kTextUnits - 3, u'p'));
}

TEST_F(DropTarget, AFileComesFirstEvenWithItsUrlAsText) {
  // What a file manager offers: the URL list and the same URLs as text.
  QMimeData files;
  files.setData(QStringLiteral("text/uri-list"), "file:///tmp/%E7%BC%96%E7%9B%AE%20a.mrc\r\n");
  files.setText(QStringLiteral("file:///tmp/%E7%BC%96%E7%9B%AE%20a.mrc"));
  EXPECT_FALSE(drop(files));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(platform::toUtf8(dropped[0].text), "/tmp/编目 a.mrc");
  // A link of the web with its text is text.
  QMimeData link;
  link.setUrls({QUrl("https://example.org/x")});
  link.setText(QStringLiteral("https://example.org/x"));
  dropped.clear();
  EXPECT_TRUE(drop(link));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(platform::toUtf8(dropped[0].text), "https://example.org/x");
}

TEST_F(DropTarget, OtherDataIsRefused) {
  QMimeData other;
  other.setData("application/x-other", "bytes");
  QMimeData remote;
  remote.setUrls({QUrl("https://example.org/x")});
  EXPECT_FALSE(drop(other));
  EXPECT_FALSE(drop(remote));
  EXPECT_TRUE(dropped.empty());
}

TEST_F(DropTarget, EveryDragIsOfferedACopy) {
  QMimeData other;
  other.setData("application/x-other", "bytes");
  for (QPoint p : {QPoint(0, 0), QPoint(-5, 3), QPoint(10000, 10000)}) {
    QDragEnterEvent enter(p, Qt::MoveAction | Qt::CopyAction, &other, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&editor, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(p, Qt::MoveAction | Qt::CopyAction, &other, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(&editor, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
  }
}

TEST_F(DropTarget, RegistrationLastsAsLongAsTheTarget) {
  EXPECT_TRUE(editor.acceptDrops());
  target.reset();
  EXPECT_FALSE(editor.acceptDrops());
  EXPECT_FALSE(drop(*text("x")));
  EXPECT_TRUE(dropped.empty());
  // A target whose window went first lets go quietly.
  auto window = std::make_unique<QWidget>();
  CEditorDropTarget orphan(window.get(), {});
  window.reset();
}

}  // namespace
