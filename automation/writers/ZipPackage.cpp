#include "automation/writers/ZipPackage.h"

#include <zip.h>

#include <cstring>
#include <ctime>

namespace automation::writers {

// libzip reads a part through this callback when it writes the package. A
// source that states its data as deflated, with CRC and sizes, is copied
// as it is, not compressed again.
struct ZipPackage::Source {
    std::unique_ptr<DeflatedPart> part;
    std::time_t modified = 0;
    zip_error_t error{};

    Source() { zip_error_init(&error); }
    ~Source() { zip_error_fini(&error); }
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    static zip_int64_t callback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<Source *>(state)->handle(data, length, command);
    }

    zip_int64_t handle(void *data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
            case ZIP_SOURCE_OPEN:
                if (!part->rewind()) return failed();
                return 0;
            case ZIP_SOURCE_READ: {
                const int64_t n = part->read(data, static_cast<size_t>(length));
                return n < 0 ? failed() : n;
            }
            case ZIP_SOURCE_CLOSE:
                return 0;
            case ZIP_SOURCE_STAT: {
                if (length < sizeof(zip_stat_t)) return failed();
                zip_stat_t *st = static_cast<zip_stat_t *>(data);
                zip_stat_init(st);
                st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_MTIME;
                st->size = part->size();
                st->comp_size = part->compressedSize();
                st->comp_method = ZIP_CM_DEFLATE;
                st->crc = part->crc();
                st->mtime = modified;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&error, data, length);
            case ZIP_SOURCE_FREE:
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                      ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
            default:
                zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    zip_int64_t failed() {
        zip_error_set(&error, ZIP_ER_READ, EIO);
        return -1;
    }
};

ZipPackage::ZipPackage() = default;

ZipPackage::~ZipPackage() {
    if (archive_) zip_discard(archive_);
}

bool ZipPackage::open(const std::string &path, std::string *error) {
    int code = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive_) {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        *error = zip_error_strerror(&e);
        zip_error_fini(&e);
        return false;
    }
    return true;
}

bool ZipPackage::addPart(const std::string &name, std::string_view bytes, std::string *error) {
    auto part = std::make_unique<DeflatedPart>();
    part->append(bytes);
    return addPart(name, std::move(part), error);
}

bool ZipPackage::addPart(const std::string &name, std::unique_ptr<DeflatedPart> part, std::string *error) {
    if (!part->finish()) {
        *error = part->error();
        return false;
    }
    return add(name, std::move(part), error);
}

bool ZipPackage::add(const std::string &name, std::unique_ptr<DeflatedPart> part, std::string *error) {
    auto source = std::make_unique<Source>();
    source->part = std::move(part);
    source->modified = std::time(nullptr);
    zip_source_t *zs = zip_source_function(archive_, &Source::callback, source.get());
    if (!zs) {
        *error = zip_strerror(archive_);
        return false;
    }
    if (zip_file_add(archive_, name.c_str(), zs, 0) < 0) {
        *error = zip_strerror(archive_);
        zip_source_free(zs);
        return false;
    }
    sources_.push_back(std::move(source));
    return true;
}

bool ZipPackage::close(std::string *error) {
    if (zip_close(archive_) != 0) {
        *error = zip_strerror(archive_);
        return false;  // the destructor discards it
    }
    archive_ = nullptr;
    return true;
}

}  // namespace automation::writers
