/* wizard/archive_lister.h - lists an archive for a page without freezing the window.
 *
 * The pick-archive page lists the archive it is given through the engine
 * bridge, on the UI thread, and an archive of tens of thousands of entries
 * takes a noticeable time.  ArchiveLister is the page's progress callback
 * for that listing: every "Found Item '%s'..." report (code 288) adds the
 * item's name to the listed names, goes to the page's progress observer and
 * then lets the application handle its pending events, so the window keeps
 * repainting and the user can go on typing.
 *
 * Those pumped events may ask for another check while the listing runs.  The
 * bridge would refuse a second listing (its busy code), so the lister says
 * running() instead and the page checks again once the listing has ended; a
 * page whose name changed meanwhile calls request_stop(), and the stale
 * listing ends at its next report with `stopped` set.
 *
 * The list function is a seam: tests count the bridge calls through it.
 */
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "bridge/ui_progress.h"

namespace wizard {

/// What one listing gave.
struct ListingResult {
  int32_t code = 0;      ///< the bridge's result (0 success)
  int32_t count = 0;     ///< items the archive holds
  bool stopped = false;  ///< ended early by request_stop()
};

class ArchiveLister : public bridge::UiProgressCallback {
 public:
  /// Lists @p archive_path (UTF-8) into *count_ret with @p callback: bridge::list_archive by default.
  using ListFunction = std::function<int32_t(const char* archive_path, int32_t* count_ret,
                                             bridge::UiProgressCallback* callback)>;
  /// Told of each listing report: the report's line and its progress (0..24).
  using ProgressObserver = std::function<void(const QString& line, int progress)>;

  explicit ArchiveLister(ListFunction list = {});

  /// Lists @p path.  Must not be called while running().
  ListingResult list(const QString& path);

  bool running() const { return m_running; }
  /// The path of the listing that runs (or ran last).
  const QString& path() const { return m_path; }
  /// Ends the running listing at its next report.
  void request_stop() { m_stop = m_running; }

  /// Names of the items reported by the last listing, in order.
  const QStringList& listed_names() const { return m_names; }

  void set_progress_observer(ProgressObserver observer) { m_observer = std::move(observer); }
  /// Replaces the bridge call (an empty function restores it); not while running().
  void set_list_function(ListFunction list);

  int32_t notify(uint32_t code, const char* text, int32_t value, void* user_data,
                 const bridge::OverwriteInfo* item_info, intptr_t reserved1, intptr_t reserved2,
                 std::string* new_name, std::string* in_out, int32_t* answer) override;

 private:
  ListFunction m_list;
  ProgressObserver m_observer;
  QStringList m_names;
  QString m_path;
  bool m_running = false;
  bool m_stop = false;
};

/// The item name inside a listing report "Found Item '%s'..." (the whole line when it has another shape).
QString item_name_of_report(const QString& line);

}  // namespace wizard
