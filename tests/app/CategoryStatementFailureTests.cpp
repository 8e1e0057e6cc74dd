// Category changes whose statement fails, down to its preparation (the table is gone
// underneath, as another program might leave it): nothing is moved, nothing is announced, the
// failure is logged.

#include "StoreFixture.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

using namespace storetest;

namespace {

class CategoryStatementFailureTest : public StoreTest {};

} // namespace

TEST_F(CategoryStatementFailureTest, AStatementThatCannotBePreparedChangesNothing)
{
    installTemplate();
    const int fun = insertRow("a", kUUID1, 1, ", category", ", 'Fun'");
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("Meetings", "defaultCategory");
    ASSERT_TRUE(std::count(library().definedCategories().begin(), library().definedCategories().end(), "Fun"));
    const auto before = library().definedCategories();
    exec("ALTER TABLE categories RENAME TO categories_elsewhere");

    foundation::LogCapture log;
    observe(PRLVNotificationRecordingSaved);
    observe(PRLVNotificationCategoriesChanged);
    library().removeCategory("Fun");
    library().updateCategoryTo("Fun", "Games");
    library().addCategory("Errands");
    EXPECT_EQ(query("SELECT category FROM recordings WHERE pk=" + std::to_string(fun)), "Fun") << "its category is still listed";
    EXPECT_EQ(library().recordings().front()->category(), "Fun");
    EXPECT_EQ(library().definedCategories(), before);
    EXPECT_TRUE(allPosts().empty());
    // The rename's statement was never used before, so its preparation fails; the other two
    // were prepared at start-up and fail when they run.
    EXPECT_TRUE(log.containsFragment("Prepare update category statement failed with error no such table"));
    EXPECT_TRUE(log.containsFragment("Delete category statement execution failed with error no such table"));
    EXPECT_TRUE(log.containsFragment("Insert category statement execution failed with error no such table"));
}
