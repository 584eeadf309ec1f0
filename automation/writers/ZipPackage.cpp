// SPDX-License-Identifier: Apache-2.0
#include "automation/writers/ZipPackage.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace automation::writers {

// libzip reads a part through this callback when it writes the package. A
// source that states its data as deflated, with CRC and sizes, is copied
// as it is, not compressed again.
struct ZipPackage::PartSource {
    std::unique_ptr<DeflatedPart> part;
    std::time_t modified = 0;
    zip_error_t error{};

    PartSource() { zip_error_init(&error); }
    ~PartSource() { zip_error_fini(&error); }
    PartSource(const PartSource &) = delete;
    PartSource &operator=(const PartSource &) = delete;

    static zip_int64_t callback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<PartSource *>(state)->handle(data, length, command);
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

// Where libzip writes the package: the caller's AtomicFile, which already is
// a temporary file renamed into place on commit. libzip's own file target
// would make a second temporary file beside it (and draw its name from the
// system's crypto library, on whatever thread saves).
struct ZipPackage::FileTarget {
    AtomicFile &file;
    uint64_t offset = 0;                        // where the next write goes
    uint64_t end = 0;                           // bytes written so far
    WriteResult failure = WriteResult::done();  // the file's own account of what went wrong
    zip_error_t error{};

    explicit FileTarget(AtomicFile &f) : file(f) { zip_error_init(&error); }
    ~FileTarget() { zip_error_fini(&error); }
    FileTarget(const FileTarget &) = delete;
    FileTarget &operator=(const FileTarget &) = delete;

    static zip_int64_t callback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<FileTarget *>(state)->handle(data, length, command);
    }

    zip_int64_t handle(void *data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
            // Reading: the package starts empty.
            case ZIP_SOURCE_OPEN:
            case ZIP_SOURCE_CLOSE:
            case ZIP_SOURCE_READ:
            case ZIP_SOURCE_TELL:
            case ZIP_SOURCE_FREE:
                return 0;
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t to = zip_source_seek_compute_offset(0, 0, data, length, &error);
                return to < 0 ? -1 : 0;
            }
            case ZIP_SOURCE_STAT: {
                if (length < sizeof(zip_stat_t)) return invalid();
                zip_stat_t *st = static_cast<zip_stat_t *>(data);
                zip_stat_init(st);
                st->valid = ZIP_STAT_SIZE;
                st->size = 0;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ACCEPT_EMPTY:
                return 1;
            // Writing, into the AtomicFile.
            case ZIP_SOURCE_BEGIN_WRITE:
                offset = end = 0;
                return moveTo(0) ? 0 : -1;
            case ZIP_SOURCE_WRITE:
                if (!(failure = file.write(static_cast<const char *>(data), static_cast<size_t>(length))))
                    return writeFailed();
                offset += length;
                end = std::max(end, offset);
                return static_cast<zip_int64_t>(length);
            case ZIP_SOURCE_SEEK_WRITE: {
                const zip_int64_t to = zip_source_seek_compute_offset(offset, end, data, length, &error);
                if (to < 0) return -1;
                return moveTo(static_cast<uint64_t>(to)) ? 0 : -1;
            }
            case ZIP_SOURCE_TELL_WRITE:
                return static_cast<zip_int64_t>(offset);
            case ZIP_SOURCE_COMMIT_WRITE:
            case ZIP_SOURCE_ROLLBACK_WRITE:  // the caller discards the file
            case ZIP_SOURCE_REMOVE:
                return 0;
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&error, data, length);
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
                    ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_BEGIN_WRITE,
                    ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                    ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, ZIP_SOURCE_ACCEPT_EMPTY, -1);
            default:
                zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    bool moveTo(uint64_t to) {
        if (!(failure = file.seek(to))) {
            writeFailed();
            return false;
        }
        offset = to;
        return true;
    }

    zip_int64_t writeFailed() {
        zip_error_set(&error, ZIP_ER_WRITE, 0);
        return -1;
    }

    zip_int64_t invalid() {
        zip_error_set(&error, ZIP_ER_INVAL, 0);
        return -1;
    }
};

ZipPackage::ZipPackage() = default;

ZipPackage::~ZipPackage() {
    if (archive_) zip_discard(archive_);
}

WriteResult ZipPackage::open(AtomicFile &file) {
    target_ = std::make_unique<FileTarget>(file);
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t *source = zip_source_function_create(&FileTarget::callback, target_.get(), &e);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &e);
        if (!archive_) zip_source_free(source);
    }
    const WriteResult result = archive_ ? WriteResult::done() : file.failed(zip_error_strerror(&e));
    zip_error_fini(&e);
    return result;
}

WriteResult ZipPackage::addPart(const std::string &name, std::string_view bytes) {
    auto part = std::make_unique<DeflatedPart>();
    part->append(bytes);
    return addPart(name, std::move(part));
}

WriteResult ZipPackage::addPart(const std::string &name, std::unique_ptr<DeflatedPart> part) {
    if (!part->finish()) return WriteResult::failed(part->error());
    auto source = std::make_unique<PartSource>();
    source->part = std::move(part);
    source->modified = std::time(nullptr);
    zip_source_t *zs = zip_source_function(archive_, &PartSource::callback, source.get());
    if (!zs) return WriteResult::failed(zip_strerror(archive_));
    if (zip_file_add(archive_, name.c_str(), zs, 0) < 0) {
        const WriteResult failed = WriteResult::failed(zip_strerror(archive_));
        zip_source_free(zs);
        return failed;
    }
    parts_.push_back(std::move(source));
    return WriteResult::done();
}

WriteResult ZipPackage::close() {
    if (zip_close(archive_) != 0) {
        // The file's own account of a failed write says more than libzip's;
        // the destructor discards the archive.
        return !target_->failure ? target_->failure : target_->file.failed(zip_strerror(archive_));
    }
    archive_ = nullptr;
    return WriteResult::done();
}

}  // namespace automation::writers
