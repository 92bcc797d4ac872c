// vrell's pages in a larger window: their lists, grids and text boxes take the room.
#include "tests/support/qt/page_layout.h"
#include "tests/vrell/vrell_fixture.h"

namespace vrelltest {
namespace {

TEST_F(VrellTest, ListsAndGridsTakeTheRoomOfALargerWindow) {
    EXPECT_EQ(testsupport::ListsThatDoNotGrow(MakeWizard(), 8), std::vector<QString>{});
}

}  // namespace
}  // namespace vrelltest
