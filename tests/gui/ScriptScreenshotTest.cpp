// The schedule dialog with two entries, written to $NORVA_SCREENSHOT_DIR
// when that is set (the README's picture); always checks what it shows.
#include <cstdlib>

#include <QDir>
#include <QListWidget>
#include <QTreeWidget>

#include "GuiTestUtil.h"
#include "gui/ScheduleDialog.h"
#include "platform/Profile.h"

namespace norva::test {

TEST(ScriptScreenshot, ScheduleDialogWithTwoEntries) {
    TempDir dir;
    dir.write("norva.ini", "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\n"
                           "[SCHEDULE]\r\n0=1     3       Mo     14:30    einf.     mail.scr\r\n"
                           "1=1     2       t\xC3\xA4gl.  st\xC3\xBCndl.  mehrf.    wetter.scr\r\n");
    Profile profile(dir.path() / "norva.ini");
    ScheduleDialog d(profile, {}, [](QWidget*, const FileRequest&) { return QString(); }, 1, 3);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.overview()->setCurrentItem(d.overview()->topLevelItem(1));
    d.dayList()->setCurrentRow(1);
    d.timeList()->setCurrentRow(58);
    d.timeList()->scrollToItem(d.timeList()->currentItem());
    ASSERT_EQ(d.overview()->topLevelItemCount(), 2);
    EXPECT_EQ(d.overview()->topLevelItem(1)->text(2), "tägl.");
    EXPECT_EQ(d.timeList()->currentItem()->text(), "14:30");
    if (const char* out = std::getenv("NORVA_SCREENSHOT_DIR"))
        d.grab().toImage().save(QDir(QString::fromLocal8Bit(out)).filePath("schedule-dialog.png"));
}

}  // namespace norva::test
