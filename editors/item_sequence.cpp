#include "editors/item_sequence.h"

#include <algorithm>

#include "datalib/files.h"
#include "datalib/records.h"

namespace ov::editors {

ItemSequencer::Binding ItemSequencer::scriptItems() {
  return {&files::SCRIPTING, files::SCR_KeyID, [] () -> int32_t& { return files::SCR.ID; },
          [] () -> int32_t& { return files::SCR.Sequence; }, "Scripting, SCR:KeyID", "Key Field SCR:ID = ",
          "Key Field SCR:Sequence = "};
}

ItemSequencer::Binding ItemSequencer::contactDetails() {
  return {&files::CONTACTDETAILS, files::CDT_K_Contact, [] () -> int32_t& { return files::CDT.ClientID; },
          [] () -> int32_t& { return files::CDT.Sequence; }, "ContactDetails, CDT:K_Contact",
          "Key Field CDT:ClientID = ", "Key Field CDT:Sequence = "};
}

rt::Err ItemSequencer::sequences(int32_t parent, std::vector<int32_t>& out) {
  out.clear();
  const db::RecordImage saved = m_b.file->saveBuffer();
  m_b.file->clear();
  m_b.parent() = parent;
  m_b.sequence() = INT32_MIN;
  rt::Err err = m_b.file->setFrom(m_b.key);
  while (err == rt::Err::None && (err = m_b.file->next()) == rt::Err::None && m_b.parent() == parent)
    out.push_back(m_b.sequence());
  m_b.file->restoreBuffer(saved);
  return err == rt::Err::NotAvailable || err == rt::Err::None ? rt::Err::None : err;
}

rt::Err ItemSequencer::update(int32_t parent, int32_t from, int32_t to, std::string_view stage, Result& r) {
  m_b.file->clear();
  m_b.parent() = parent;
  m_b.sequence() = from;
  rt::Err err = m_b.file->get(m_b.key);
  if (err == rt::Err::None) {
    m_b.sequence() = to;
    if (beforeUpdate) err = beforeUpdate(stage);
    if (err != rt::Err::None)
      rt::setError(err, m_b.file->label());
    else
      err = m_b.file->put();
  }
  if (err != rt::Err::None) {
    r.stage = std::string(stage);
    if (stage == "Put Swap Out" && m_b.file->duplicate() && !m_b.file->duplicate(m_b.key)) r.stage += " (NKD)";
    r.report = "Record swap error: \r" + rt::ERROR() + "\r" + m_b.keyText + "\r" + m_b.parentText +
               std::to_string(parent) + "\r" + m_b.sequenceText + std::to_string(from) + "\rSection = " + r.stage + "\r";
  }
  return err;
}

ItemSequencer::Result ItemSequencer::run(const std::function<void(Result&)>& body) {
  Result r;
  const db::RecordImage saved = m_b.file->saveBuffer();
  r.err = db::LOGOUT(1, {m_b.file});
  if (r.err != rt::Err::None) {
    r.report = "Record swap error: \r" + std::string(rt::errorText(r.err)) + "\r" + m_b.keyText + "\r";
    return r;
  }
  body(r);
  if (r.err == rt::Err::None) r.err = db::COMMIT();
  if (r.err != rt::Err::None) {
    (void)db::ROLLBACK();
    r.moved = false;
  }
  m_b.file->restoreBuffer(saved);
  return r;
}

ItemSequencer::Result ItemSequencer::moveTo(int32_t parent, int32_t sequence,
                                            const std::function<size_t(const std::vector<int32_t>&, size_t)>& target) {
  return run([&](Result& r) {
    r.sequence = sequence;
    std::vector<int32_t> s;
    if ((r.err = sequences(parent, s)) != rt::Err::None) return;
    const auto at = std::find(s.begin(), s.end(), sequence);
    if (at == s.end()) return;
    const size_t m = static_cast<size_t>(at - s.begin());
    const size_t k = std::min(target(s, m), s.size() - 1);
    if (k == m) return;
    // Park on the first free sequence past the end, shift the neighbours into the gap one by
    // one, and put the parked record into the last gap.
    const int32_t parked = s.back() + 1;
    if ((r.err = update(parent, s[m], parked, "Put Swap Out", r)) != rt::Err::None) return;
    int32_t gap = s[m];
    if (k < m)
      for (size_t i = m; i-- > k;) {
        if ((r.err = update(parent, s[i], gap, "Shift Stage", r)) != rt::Err::None) return;
        gap = s[i];
      }
    else
      for (size_t i = m + 1; i <= k; ++i) {
        if ((r.err = update(parent, s[i], gap, "Shift Stage", r)) != rt::Err::None) return;
        gap = s[i];
      }
    if ((r.err = update(parent, parked, gap, "Final Move", r)) != rt::Err::None) return;
    r.moved = true;
    r.sequence = gap;
  });
}

ItemSequencer::Result ItemSequencer::moveUp(int32_t parent, int32_t sequence) {
  return moveTo(parent, sequence, [](const auto&, size_t m) { return m == 0 ? m : m - 1; });
}
ItemSequencer::Result ItemSequencer::moveDown(int32_t parent, int32_t sequence) {
  return moveTo(parent, sequence, [](const auto&, size_t m) { return m + 1; });
}
ItemSequencer::Result ItemSequencer::moveToTop(int32_t parent, int32_t sequence) {
  return moveTo(parent, sequence, [](const auto&, size_t) { return size_t{0}; });
}
ItemSequencer::Result ItemSequencer::moveToBottom(int32_t parent, int32_t sequence) {
  return moveTo(parent, sequence, [](const auto& s, size_t) { return s.size() - 1; });
}

ItemSequencer::Result ItemSequencer::dragTo(int32_t parent, int32_t from, int32_t onto) {
  if (from == 0 || onto == 0) return Result{};
  return moveTo(parent, from, [onto](const std::vector<int32_t>& s, size_t m) {
    const auto at = std::find(s.begin(), s.end(), onto);
    return at == s.end() ? m : static_cast<size_t>(at - s.begin());
  });
}

ItemSequencer::Result ItemSequencer::placeAfter(int32_t parent, int32_t sequence, int32_t anchor) {
  if (anchor == 0) return Result{};
  return moveTo(parent, sequence, [anchor](const std::vector<int32_t>& s, size_t m) {
    // The first place after the anchor, counted without the moving record.
    size_t k = 0;
    for (size_t i = 0; i < s.size(); ++i)
      if (i != m && s[i] <= anchor) ++k;
    return k;
  });
}

ItemSequencer::Result ItemSequencer::renumberAfterDelete(int32_t parent, int32_t deleted) {
  return run([&](Result& r) {
    r.sequence = std::max(1, deleted - 1);
    std::vector<int32_t> s;
    if ((r.err = sequences(parent, s)) != rt::Err::None) return;
    int32_t counter = deleted;
    for (int32_t seq : s) {
      if (seq <= deleted) continue;
      if (seq != counter) {
        if ((r.err = update(parent, seq, counter, "Put Upd Seq", r)) != rt::Err::None) return;
        r.moved = true;
      }
      ++counter;
    }
  });
}

}  // namespace ov::editors
