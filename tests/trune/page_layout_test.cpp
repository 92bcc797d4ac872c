// trune's pages in a larger window: their lists and grids take the room.
#include "tests/support/qt/page_layout.h"
#include "tests/trune/trune_fixture.h"

namespace trunetest {
namespace {

TEST_F(TruneTest, ListsAndGridsTakeTheRoomOfALargerWindow) {
    EXPECT_EQ(testsupport::ListsThatDoNotGrow(MakeWizard(), 7), std::vector<QString>{});
}

}  // namespace
}  // namespace trunetest
