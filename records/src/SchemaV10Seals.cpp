// Version 8: a survey, scan or visit that has ended keeps its seal, the
// content id over its head and every part (Seals.h). Once sealed, a record
// takes no part and its seal never changes: the triggers refuse it, whoever
// writes (the program, an import, a sync). Records that ended before are
// sealed here over the parts they hold.
#include "SchemaV10Seals.h"

#include "lm/records/Database.h"
#include "lm/records/Seals.h"

namespace lm::records {

void ApplySchemaV10Seals(Database& db) {
  db.Exec(R"sql(
ALTER TABLE surveys ADD COLUMN seal TEXT;
ALTER TABLE channel_scans ADD COLUMN seal TEXT;
ALTER TABLE visits ADD COLUMN end_seal TEXT;
CREATE TRIGGER sealed_probes BEFORE INSERT ON probes
  WHEN (SELECT seal FROM surveys WHERE id = NEW.survey_id) IS NOT NULL
  BEGIN SELECT RAISE(ABORT, 'the survey has ended and is sealed: it takes no more probes'); END;
CREATE TRIGGER sealed_hop_stats BEFORE INSERT ON hop_stats
  WHEN (SELECT seal FROM surveys WHERE id = NEW.survey_id) IS NOT NULL
  BEGIN SELECT RAISE(ABORT, 'the survey has ended and is sealed: its hop statistics are final'); END;
CREATE TRIGGER sealed_hop_stats_kept BEFORE UPDATE ON hop_stats
  WHEN (SELECT seal FROM surveys WHERE id = OLD.survey_id) IS NOT NULL
  BEGIN SELECT RAISE(ABORT, 'the survey has ended and is sealed: its hop statistics are final'); END;
CREATE TRIGGER sealed_scan_rounds BEFORE INSERT ON scan_rounds
  WHEN (SELECT seal FROM channel_scans WHERE id = NEW.scan_id) IS NOT NULL
  BEGIN SELECT RAISE(ABORT, 'the channel scan has ended and is sealed: it takes no more rounds'); END;
CREATE TRIGGER sealed_survey_kept BEFORE UPDATE OF seal, ended_at ON surveys
  WHEN OLD.seal IS NOT NULL AND (NEW.seal IS NOT OLD.seal OR NEW.ended_at IS NOT OLD.ended_at)
  BEGIN SELECT RAISE(ABORT, 'the survey has ended and is sealed'); END;
CREATE TRIGGER sealed_scan_kept BEFORE UPDATE OF seal, ended_at ON channel_scans
  WHEN OLD.seal IS NOT NULL AND (NEW.seal IS NOT OLD.seal OR NEW.ended_at IS NOT OLD.ended_at)
  BEGIN SELECT RAISE(ABORT, 'the channel scan has ended and is sealed'); END;
CREATE TRIGGER sealed_visit_end_kept BEFORE UPDATE OF end_seal, ended_at ON visits
  WHEN OLD.end_seal IS NOT NULL AND (NEW.end_seal IS NOT OLD.end_seal OR NEW.ended_at IS NOT OLD.ended_at)
  BEGIN SELECT RAISE(ABORT, 'the visit has ended and its end is sealed'); END;
)sql");
  Seals(db).SealAllEnded();
}

}  // namespace lm::records
