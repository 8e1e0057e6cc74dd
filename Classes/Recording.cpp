#include "Recording.h"

#include "HelperMethods.h"
#include "RecordingLibrary.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "foundation/UserDefaults.h"
#include "graphics/Context.h"
#include "graphics/Image.h"

#include <algorithm>
#include <cmath>
#include <sqlite3.h>

const char* const PRLVNotificationRecordingSaved = "PRLVNotificationRecordingSaved";
const char* const PRLVNotificationRecordingDeleted = "PRLVNotificationRecordingDeleted";

namespace {

// One prepared statement per text, shared by every record for the whole run.
sqlite3_stmt* select_statement = nullptr;
sqlite3_stmt* update_statement = nullptr;
sqlite3_stmt* delete_statement = nullptr;
sqlite3_stmt* image_load_statement = nullptr;
sqlite3_stmt* image_save_statement = nullptr;

// The platform's imageWithData: bytes in any picture format the graphics layer reads make a
// photo (rows written by other tools hold JPEG), anything else none.
RecordingImage imageWithData(const void* bytes, int count)
{
    if (!bytes || count <= 0)
        return nullptr;
    const auto* begin = static_cast<const std::uint8_t*>(bytes);
    auto data = std::make_shared<const std::vector<std::uint8_t>>(begin, begin + count);
    return gfx::Image::isImageData(*data) ? data : nullptr;
}

void post(const char* name, const Recording* recording)
{
    foundation::NotificationCenter::defaultCenter().postNotificationName(name, recording);
}

} // namespace

Recording::Recording(std::int32_t key, sqlite3* database)
    : m_key(key)
    , m_database(database)
{
    load();
}

Recording::Recording(std::int32_t key, sqlite3* database, sqlite3_stmt* row, int firstColumn)
    : m_key(key)
    , m_database(database)
{
    readColumns(row, firstColumn);
}

Recording::~Recording() = default;

void Recording::load()
{
    if (!prepareCached(m_database, select_statement,
            "SELECT title, audioFileName, size, category, comments, length, playCount, createdDate, location FROM recordings WHERE pk=?",
            "Prepare select statement failed with error %s."))
        return;
    StatementReset reset(select_statement);
    sqlite3_bind_int(select_statement, 1, m_key);
    if (sqlite3_step(select_statement) != SQLITE_ROW) {
        logDatabaseError(m_database, "Data not found; select query returned error %s.");
        return;
    }
    readColumns(select_statement, 0);
}

void Recording::readColumns(sqlite3_stmt* row, int first)
{
    m_title = columnText(row, first);
    m_audioFileName = columnText(row, first + 1);
    m_size = columnText(row, first + 2);
    if (sqlite3_column_type(row, first + 3) == SQLITE_NULL)
        m_category = foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory").value_or("");
    else
        m_category = columnText(row, first + 3);
    m_comments = columnText(row, first + 4);
    m_length = static_cast<float>(sqlite3_column_double(row, first + 5));
    m_playCount = sqlite3_column_int(row, first + 6);
    m_createdDate = sqlite3_column_double(row, first + 7);
    m_location = sqlite3_column_int(row, first + 8);
    m_dirty = false;
    m_loaded = true;
}

// The setters share one shape: nothing happens for an equal value.
template<typename T>
static void assignIfChanged(T& field, const T& value, bool& dirty)
{
    if (field == value)
        return;
    field = value;
    dirty = true;
}

void Recording::setTitle(const std::string& title) { assignIfChanged(m_title, title, m_dirty); }
void Recording::setAudioFileName(const std::string& audioFileName) { assignIfChanged(m_audioFileName, audioFileName, m_dirty); }
void Recording::setSize(const std::string& size) { assignIfChanged(m_size, size, m_dirty); }
void Recording::setCategory(const std::string& category) { assignIfChanged(m_category, category, m_dirty); }
void Recording::setComments(const std::string& comments) { assignIfChanged(m_comments, comments, m_dirty); }
void Recording::setCreatedDate(double createdDate) { assignIfChanged(m_createdDate, createdDate, m_dirty); }
void Recording::setPlayCount(std::int32_t playCount) { assignIfChanged(m_playCount, playCount, m_dirty); }
void Recording::setLength(float length) { assignIfChanged(m_length, length, m_dirty); }
void Recording::setLocation(std::int32_t location) { assignIfChanged(m_location, location, m_dirty); }

RecordingImage Recording::image()
{
    if (!m_imageLoaded)
        loadImage();
    return m_image;
}

void Recording::setImage(RecordingImage image)
{
    // Before the stored photo was read, "the same photo" cannot be told: any set replaces it.
    if (m_imageLoaded && image == m_image)
        return;
    m_image = std::move(image);
    m_imageLoaded = true;
    m_imageChanged = true;
    m_dirty = true;
}

RecordingImage Recording::imageDataForPhoto(const gfx::Image& photo)
{
    const int width = photo.pixelWidth();
    const int height = photo.pixelHeight();
    const int longer = std::max(width, height);
    std::vector<std::uint8_t> png;
    if (longer <= kMaxPhotoPixelSide) {
        png = photo.pngData();
    } else {
        const double factor = double(kMaxPhotoPixelSide) / longer;
        const int scaledWidth = std::max(1, int(std::lround(width * factor)));
        const int scaledHeight = std::max(1, int(std::lround(height * factor)));
        auto context = gfx::BitmapContext::create(scaledWidth, scaledHeight, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
        if (!context)
            return nullptr;
        context->drawImage(photo, gfx::Rect(0, 0, float(scaledWidth), float(scaledHeight)));
        if (auto scaled = context->makeImage())
            png = scaled->pngData();
    }
    if (png.empty())
        return nullptr;
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(png));
}

std::shared_ptr<gfx::Image> Recording::photoImage(const RecordingImage& bytes, int maxPixelSide)
{
    if (!bytes || bytes->empty())
        return nullptr;
    return gfx::Image::fromDataFitting(*bytes, std::clamp(maxPixelSide, 1, kMaxPhotoPixelSide), gfx::Image::Fit::Inside);
}

void Recording::loadImage()
{
    if (!prepareCached(m_database, image_load_statement, "SELECT image FROM recordings WHERE pk=?",
            "Prepare image load statement failed with error %s."))
        return;
    StatementReset reset(image_load_statement);
    sqlite3_bind_int(image_load_statement, 1, m_key);
    if (sqlite3_step(image_load_statement) != SQLITE_ROW) {
        logDatabaseError(m_database, "Data not found; select query returned error %s.");
        return;
    }
    const void* bytes = sqlite3_column_blob(image_load_statement, 0);
    int count = sqlite3_column_bytes(image_load_statement, 0);
    if (count > 0)
        m_image = imageWithData(bytes, count);
    m_imageLoaded = true;
}

void Recording::save()
{
    if (!m_dirty || m_location == 0)
        return;
    // Observers of the notification may drop the library's reference.
    auto keepAlive = weak_from_this().lock();
    std::optional<std::string> title = m_title;
    const bool untitled = m_title.empty();
    if (untitled) {
        // None when the titles cannot be read: the row then holds NULL, which reads as "".
        title = RecordingLibrary::sharedLibrary().getNextAvailableRecordingTitle();
        setTitle(title.value_or(""));
    }
    // A title given here but never stored is not taken in the table: another recording could
    // get it too. Unsaved, the record goes back to untitled.
    auto keepTitleOnlyIfSaved = [this, untitled] {
        if (untitled && m_dirty)
            m_title.clear();
    };
    if (!prepareCached(m_database, update_statement,
            "UPDATE recordings SET title=?, audioFileName=?, size=?, category=?, comments=?, length=?, playCount=?, createdDate=?, location=? WHERE pk=?",
            "Prepare update statement failed with error %s.")) {
        keepTitleOnlyIfSaved();
        return;
    }
    {
        StatementReset reset(update_statement);
        if (title)
            bindText(update_statement, 1, *title);
        else
            sqlite3_bind_null(update_statement, 1);
        bindText(update_statement, 2, m_audioFileName);
        bindText(update_statement, 3, m_size);
        bindText(update_statement, 4, m_category);
        bindText(update_statement, 5, m_comments);
        sqlite3_bind_double(update_statement, 6, m_length);
        sqlite3_bind_int(update_statement, 7, m_playCount);
        sqlite3_bind_double(update_statement, 8, m_createdDate);
        sqlite3_bind_int(update_statement, 9, m_location);
        sqlite3_bind_int(update_statement, 10, m_key);
        if (!stepWrite(m_database, update_statement, "Update statement execution failed with error %s.")) {
            keepTitleOnlyIfSaved();
            return;
        }
    }
    // The photo is part of the save: a photo that was not written keeps the record dirty.
    if (!saveImage())
        return;
    m_dirty = false;
    post(PRLVNotificationRecordingSaved, this);
}

bool Recording::saveImage()
{
    // A photo not replaced stays as stored: it may not have been read, or not taken for a
    // photo (a format this program does not read), and must not be overwritten with none.
    if (!m_imageChanged)
        return true;
    if (!prepareCached(m_database, image_save_statement, "UPDATE recordings SET image=? WHERE pk=?",
            "Prepare image save statement failed with error %s."))
        return false;
    StatementReset reset(image_save_statement);
    if (m_image && !m_image->empty())
        sqlite3_bind_blob(image_save_statement, 1, m_image->data(), static_cast<int>(m_image->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(image_save_statement, 1);
    sqlite3_bind_int(image_save_statement, 2, m_key);
    if (!stepWrite(m_database, image_save_statement, "Image save statement execution failed with error %s."))
        return false;
    m_imageChanged = false;
    return true;
}

void Recording::deleteRecording()
{
    // Leaving the library may release the last reference; the rest of the call needs the record.
    auto keepAlive = weak_from_this().lock();
    if (!prepareCached(m_database, delete_statement, "DELETE FROM recordings WHERE pk=?",
            "Prepare delete statement failed with error %s."))
        return;
    {
        StatementReset reset(delete_statement);
        sqlite3_bind_int(delete_statement, 1, m_key);
        // A row that is still there must keep its audio file and its place in the library.
        if (!stepWrite(m_database, delete_statement, "Delete statement execution failed with error %s."))
            return;
    }
    setLocation(0);
    HelperMethods::deleteAudioFile(m_audioFileName);
    post(PRLVNotificationRecordingDeleted, this);
    RecordingLibrary::sharedLibrary().removeRecording(this);
}

void Recording::finalizeSqlStatements()
{
    // These texts carry no error message: the statements belong to no connection any more.
    finalizeStatements(nullptr, {
        { &select_statement, "Failed to finalize select_statement." },
        { &update_statement, "Failed to finalize update_statement." },
        { &delete_statement, "Failed to finalize delete_statement." },
        { &image_load_statement, "Failed to finalize image_load_statement." },
        { &image_save_statement, "Failed to finalize image_save_statement." },
    });
}

void Recording::finalizeStatements(sqlite3* database, std::initializer_list<std::pair<sqlite3_stmt**, const char*>> statements)
{
    for (auto [statement, failureText] : statements) {
        if (*statement && sqlite3_finalize(*statement) != SQLITE_OK)
            logDatabaseError(database, failureText);
        *statement = nullptr;
    }
}

bool Recording::prepareCached(sqlite3* database, sqlite3_stmt*& statement, const char* sql, const char* failureText)
{
    if (statement)
        return true;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) == SQLITE_OK && statement)
        return true;
    logDatabaseError(database, failureText);
    sqlite3_finalize(statement);
    statement = nullptr;
    return false;
}

bool Recording::stepWrite(sqlite3* database, sqlite3_stmt* statement, const char* failureText)
{
    // Busy, full, read-only, I/O and constraint failures count as failures as much as
    // SQLITE_ERROR does: nothing that SQLite did not write is reported as written.
    const bool completed = sqlite3_step(statement) == SQLITE_DONE;
    // The library keeps the cause, so a prompt can say why (a lock, a read-only folder).
    RecordingLibrary::noteWriteResult(database, completed);
    if (completed)
        return true;
    logDatabaseError(database, failureText);
    return false;
}

void Recording::logDatabaseError(sqlite3* database, const char* failureText)
{
    // Without a connection SQLite's own text would be "out of memory", which misleads.
    foundation::log(foundation::formatWithString(failureText, database ? sqlite3_errmsg(database) : "no database is open"));
}

Recording::StatementReset::~StatementReset()
{
    sqlite3_reset(m_statement);
}

std::string Recording::columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

void Recording::bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
}
