#include "ui/qt_pasteboard.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <cstring>

namespace tessa {
namespace {

namespace types = pasteboard_types;

QByteArray qbytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

std::string pngOf(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png.toStdString();
}

std::vector<uint16_t> channels(const QMimeData& data) {
  QByteArray raw = data.data(types::kColor);
  std::vector<uint16_t> out(static_cast<size_t>(raw.size()) / 2);
  std::memcpy(out.data(), raw.constData(), out.size() * 2);
  return out;
}

TEST(QtPasteboard, AnotherWritersTextKeepsItsFormattingAndTheMarkersTheFilterReads) {
  QMimeData data;
  data.setText(QStringLiteral("สวัสดี"));
  data.setHtml(QStringLiteral("<b>สวัสดี</b>"));
  data.setData(types::kPasswordManagerHint, "secret");
  data.setData(types::kConcealed, "");
  PasteboardItem item = QtPasteboard::itemFrom(data);
  EXPECT_EQ(*item.get(types::kText), "สวัสดี");
  EXPECT_EQ(*item.get(types::kHtml), "<b>สวัสดี</b>");
  EXPECT_EQ(*item.get(types::kPasswordManagerHint), "secret");
  EXPECT_TRUE(item.has(types::kConcealed));
  EXPECT_FALSE(item.has(types::kOwnWrite));
}

TEST(QtPasteboard, ImagesFilesColoursAndOtherDataAsTheHistoryKeepsThem) {
  QImage image(7, 3, QImage::Format_ARGB32);
  image.fill(Qt::red);
  // An image given only as a picture comes out as PNG.
  QMimeData picture;
  picture.setImageData(image);
  auto fromPicture = QtPasteboard::itemFrom(picture);
  ASSERT_TRUE(fromPicture.has(types::kPng));
  EXPECT_EQ(QImage::fromData(qbytes(*fromPicture.get(types::kPng))).size(), QSize(7, 3));
  // PNG bytes are taken as they are.
  QMimeData png;
  png.setData(types::kPng, qbytes(pngOf(image)));
  EXPECT_EQ(*QtPasteboard::itemFrom(png).get(types::kPng), pngOf(image));

  // Files given as URLs only become a URI list the history can read.
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/tmp/a b.txt"), QUrl::fromLocalFile("/tmp/ไฟล์.pdf")});
  EXPECT_EQ(*QtPasteboard::itemFrom(files).get(types::kUriList),
            "file:///tmp/a%20b.txt\r\nfile:///tmp/%E0%B9%84%E0%B8%9F%E0%B8%A5%E0%B9%8C.pdf\r\n");

  // Colours travel as four 16-bit channels; values outside 0…1 or not
  // numbers at all are clamped rather than wrapped.
  auto colour = QtPasteboard::mimeDataFor(PasteboardItem{{{types::kColor, "0.2 0.4 0.6 1"}}});
  EXPECT_EQ(channels(*colour), (std::vector<uint16_t>{13107, 26214, 39321, 65535}));
  EXPECT_EQ(*QtPasteboard::itemFrom(*colour).get(types::kColor), "0.2 0.4 0.6 1");
  auto wild = QtPasteboard::mimeDataFor(PasteboardItem{{{types::kColor, "2 -1 nan 0.5"}}});
  EXPECT_EQ(channels(*wild), (std::vector<uint16_t>{65535, 0, 0, 32768}));
  auto garbled = QtPasteboard::mimeDataFor(PasteboardItem{{{types::kColor, "red"}}});
  EXPECT_FALSE(garbled->hasFormat(types::kColor));

  // Data of no kind we know: its first MIME type, never the X11 bookkeeping.
  QMimeData other;
  other.setData("TIMESTAMP", "123");
  other.setData("application/x-thing", "bytes");
  other.setData("application/x-later", "more");
  auto item = QtPasteboard::itemFrom(other);
  EXPECT_EQ(item.representations.size(), 1u);
  EXPECT_EQ(*item.get("application/x-thing"), "bytes");
}

TEST(QtPasteboard, EveryWriteIsMarkedAsOursAndEveryChangeCountedBeforeObserversHear) {
  QtPasteboard pasteboard;
  EXPECT_TRUE(pasteboard.reportsChangesInBackground());
  int heard = 0;
  auto subscription = pasteboard.observeChanges([&] { ++heard; });
  int64_t before = pasteboard.changeCount();

  PasteboardItem entry;
  entry.representations[types::kText] = "จาก history";
  entry.representations[types::kTransient] = "";
  ASSERT_TRUE(pasteboard.write({entry}));
  // Counted at once, so the writer knows its own change; heard afterwards,
  // never inside the write.
  EXPECT_EQ(pasteboard.changeCount(), before + 1);
  EXPECT_EQ(heard, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(heard, 1);
  auto contents = pasteboard.items();
  ASSERT_EQ(contents.size(), 1u);
  EXPECT_EQ(*contents[0].get(types::kText), "จาก history");
  EXPECT_TRUE(contents[0].has(types::kOwnWrite));
  EXPECT_TRUE(contents[0].has(types::kTransient));

  // Another writer's copy through the clipboard itself is counted too.
  QGuiApplication::clipboard()->setText(QStringLiteral("someone else"));
  EXPECT_EQ(pasteboard.changeCount(), before + 2);
  EXPECT_FALSE(pasteboard.items()[0].has(types::kOwnWrite));
  QGuiApplication::clipboard()->clear();
  QCoreApplication::processEvents();
}

TEST(QtPasteboard, OnWaylandChangesAreHeardOnlyWithTheFocus) {
  EXPECT_FALSE(QtPasteboard(QStringLiteral("wayland")).reportsChangesInBackground());
  EXPECT_FALSE(QtPasteboard(QStringLiteral("wayland-egl")).reportsChangesInBackground());
  EXPECT_TRUE(QtPasteboard(QStringLiteral("xcb")).reportsChangesInBackground());
}

}  // namespace
}  // namespace tessa
