/* engine/zip/multi_volume_setup.cpp - a multi-volume run from its checks to its cleanup. */
#include "engine/zip/multi_volume_setup.h"

#include <cerrno>

#include "engine/zip/item_list.h"
#include "engine/zip/spanning.h"
#include "engine/zip/temp_archive.h"
#include "engine/zip/zip_output.h"
#include "engine/zip/zip_run.h"
#include "ostrana_callbacks.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/output_tree.h"
#include "platform/volume.h"

namespace ostrana {
namespace {

/// A staging folder needs more than this free.
constexpr uint64_t kMinStagingFree = 2097151;
/// Names of this length or less per component mean short-name volumes.
constexpr uint32_t kShortNameLimit = 254;

int refuse(ZipRun& run, int display_type) {
  if (display_type >= 0 && !run.quiet) run.display(display_type, OSTRANA_MB_OK, OZ_BAD_MULTIVOLUME, 0);
  return zip_report(run, OZ_BAD_MULTIVOLUME);
}

bool is_removable(platform::DriveKind kind) {
  return kind == platform::DriveKind::kRemovable || kind == platform::DriveKind::kCdRom;
}

}  // namespace

int check_multi_volume(ZipRun& run) {
  const ZIPCMDSTRUCT& c = run.cmd;
  const std::string archive = archive_path_with_suffix(run.archive_path);
  platform::VolumeService& volumes = platform::volume_service();
  const bool split = (c.wMultiVolControl & ZIP_MV_SPLIT) != 0;

  // Spanning needs disks that can be changed; split parts are ordinary files
  // and may lie on any drive (the wizard asks for split parts on hard disks).
  if (!split && (c.wZipSubOptions & (ZIP_OPT_ANY_MEDIA | ZIP_OPT_NO_PUMP)) == 0 &&
      !is_removable(volumes.drive_kind(archive)))
    return refuse(run, 5);
  if ((c.Function != ZIP_ADD && c.Function != ZIP_ADD_5) || c.fixFlag != 0 || c.fixHarderFlag != 0 ||
      c.growExistingFlag != 0)
    return refuse(run, -1);
  if (split && (c.wMultiVolControl & ZIP_MV_DISK_BITS) != 0) return refuse(run, -1);
  // The directory-first layout reserves each header's final length up front;
  // a Zip64 block may or may not be needed, so large archives cannot use it.
  if ((c.wMultiVolControl & ZIP_MV_DIRECTORY_FIRST) && c.LargeZIPFilesFlag != 0) return refuse(run, -1);
  if (!split) {
    for (const std::string& item : split_item_list(run.item_list)) {
      if (item.empty() || item[0] == '\\') continue;
      if (volumes.same_volume(item, archive)) return refuse(run, 6);
    }
  }
  VolumeSizes sizes;
  if (split && !sizes.load(c.pulFileSizeArray, (c.wMultiVolControl & ZIP_MV_64BIT_SIZES) != 0))
    return zip_report(run, OZ_BAD_PARAMETERS, "pulFileSizeArray");
  return OZ_SUCCESS;
}

int prepare_multi_volume_output(ZipRun& run) {
  ZipOutputState& o = *run.output;
  const ZIPCMDSTRUCT& c = run.cmd;
  o.multi_volume = true;
  o.control = c.wMultiVolControl;
  o.split = (c.wMultiVolControl & ZIP_MV_SPLIT) != 0;
  platform::VolumeService& volumes = platform::volume_service();
  if (o.split) {
    o.sizes.load(c.pulFileSizeArray, (c.wMultiVolControl & ZIP_MV_64BIT_SIZES) != 0);
    uint32_t longest = 255;
    volumes.max_name_length(platform::parent_folder(o.archive_path), &longest);
    const std::string first = first_split_part_name(o.archive_path, longest > kShortNameLimit);
    if (platform::make_folder_path(platform::parent_folder(first)) != 0)
      return zip_report(run, OZ_CREATE_FAILED, first.c_str());
    if (o.first_part_file.open(first, platform::File::Mode::kCreate) != 0)
      return zip_report(run, OZ_TEMP_FAILED, first.c_str());
    o.first_part = first;
    return OZ_SUCCESS;
  }
  if (c.pathForTempFlag != 0 && !run.temp_path.empty()) {
    uint64_t free = 0;
    if (volumes.drive_kind(run.temp_path) == platform::DriveKind::kFixed &&
        volumes.free_space(run.temp_path, &free) == 0 && free > kMinStagingFree) {
      int rc = create_temp_archive(run.temp_path, &o.temp, &o.temp_path);
      if (rc == OZ_OUT_OF_MEMORY) return zip_report_message(run, rc, kZipMsgTempName);
      if (rc != 0) return zip_report(run, OZ_TEMP_FAILED, run.temp_path.c_str());
    }
  }
  return OZ_SUCCESS;
}

std::unique_ptr<PieceStore> start_multi_volume_pieces(ZipRun& run) {
  ZipOutputState& o = *run.output;
  if (!o.split) return std::make_unique<SpannedPieceStore>(run, o.archive_path, o.control, o.temp.is_open() ? &o.temp : nullptr);
  // Parts of an earlier set under the same names would mix with this one.
  for (uint32_t n = 2; n <= kMaxSplitParts; ++n) platform::remove_file(split_part_name(o.first_part, n));
  auto store = std::make_unique<SplitPieceStore>(run, o.first_part, o.sizes, (o.control & ZIP_MV_DIRECTORY_FIRST) != 0);
  store->adopt_first_part(std::move(o.first_part_file));
  o.started = true;
  return store;
}

int complete_multi_volume(ZipRun& run, uint32_t pieces) {
  ZipOutputState& o = *run.output;
  if (o.split) {
    const std::string last = pieces == 1 ? o.first_part : split_part_name(o.first_part, pieces);
    if (platform::rename_path(last, o.archive_path) != 0)
      return zip_report_message(run, OZ_CREATE_FAILED, kZipMsgReplacingOriginal);
    platform::sync_folder(platform::parent_folder(o.archive_path));
    run.display(14, OSTRANA_MB_OK, static_cast<int>(pieces), 0, o.archive_path.c_str());
  }
  o.completed = true;
  return OZ_SUCCESS;
}

void clean_up_multi_volume(ZipRun& run, int result) {
  ZipOutputState& o = *run.output;
  o.first_part_file.close();
  if (result == OZ_SUCCESS || o.completed) return;
  if (o.split) {
    if (!o.first_part.empty()) platform::remove_file(o.first_part);
    if (o.started)
      for (uint32_t n = 2; n <= kMaxSplitParts; ++n) platform::remove_file(split_part_name(o.first_part, n));
  } else if (o.started) {
    platform::remove_file(o.archive_path);  // the incomplete file on the disk in the drive
  }
}

}  // namespace ostrana
