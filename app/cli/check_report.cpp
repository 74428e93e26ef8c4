#include "app/cli/check_report.h"

#include <ostream>

#include "app/cli/json_writer.h"

namespace brevant {

namespace {

const char* OutcomeName(const CheckReport& r) {
    switch (r.outcome) {
        case CheckOutcome::NoWriter: return "no-writer";
        case CheckOutcome::NotAnswering: return "not-answering";
        case CheckOutcome::Checked: break;
    }
    if (r.linkLost) return "incomplete";
    if (!r.stopReason.empty()) return "would-not-update";
    return r.WouldUpdateAnything() ? "would-update" : "up-to-date";
}

void WriterJson(JsonWriter& j, const CheckReport& r) {
    j.Key("writer").BeginObject();
    j.Field("found", r.outcome != CheckOutcome::NoWriter);
    j.Field("answered", r.outcome == CheckOutcome::Checked);
    if (r.outcome == CheckOutcome::NotAnswering) j.Field("errorCode", r.identifyResult);
    if (r.outcome == CheckOutcome::Checked) {
        const IdentificationFields& id = r.identity;
        j.Field("machineType", r.machineType).Field("machineName", r.machineName).Field("admitted", r.admitted);
        j.Field("bootMode", id.bootMode != 0);
        j.Field("applicationVersion", VersionText(id.appVersion)).Field("applicationBuild", id.appBuild);
        j.Field("mainBootVersion", VersionText(id.mainBootVersion)).Field("mainBootBuild", id.mainBootBuild);
        j.Field("secondaryBootVersion", VersionText(id.secondaryBootVersion))
            .Field("secondaryBootBuild", id.secondaryBootBuild);
        j.Field("scannerVersion", r.scannerVersion);
        if (r.admitted) {
            j.Field("fileOpen", r.fileOpen).Field("asksBeforeDowngrade", r.asksBeforeDowngrade);
            j.Field("earlyUpdate", r.earlyUpdate);
            if (r.clockRead) {
                j.Field("clockDifferenceSeconds", int64_t(r.pcClock) - int64_t(r.writerClock));
                j.Field("clockWouldBeSet", r.clockWouldBeSet).Field("clockQuestion", r.clockQuestion);
            }
        }
        if (!r.stopReason.empty()) j.Field("runStops", r.stopReason);
        j.Field("linkLost", r.linkLost);
    }
    j.EndObject();
}

void ComponentJson(JsonWriter& j, const ComponentCheck& c) {
    j.BeginObject();
    j.Field("verdict", VerdictName(c.verdict)).Field("reached", c.reached);
    j.Field("writer", c.writer).Field("image", c.image).Field("reason", c.reason);
    j.EndObject();
}

const ComponentCheck* Find(const CheckReport& r, ComponentId id) {
    for (const ComponentCheck& c : r.components) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

}  // namespace

int CheckExitStatus(const CheckReport& report) {
    if (report.outcome != CheckOutcome::Checked || report.linkLost) return 1;
    if (!report.stopReason.empty()) return 3;
    return report.WouldUpdateAnything() ? kExitCheckWouldUpdate : 0;
}

void PrintCheckReport(std::ostream& out, const CheckReport& r) {
    if (r.outcome == CheckOutcome::NoWriter) {
        out << "Check: no writer found.\n";
        return;
    }
    if (r.outcome == CheckOutcome::NotAnswering) {
        out << "Check: the writer does not answer its identification (error code " << r.identifyResult << ").\n";
        return;
    }
    const IdentificationFields& id = r.identity;
    out << "Writer: " << r.machineName << "(" << r.machineType << ")";
    if (!r.admitted) {
        out << "\nThe run would refuse it: " << r.stopReason << ".\n";
        return;
    }
    if (id.bootMode != 0) {
        out << ", running its boot code " << VersionText(id.mainBootVersion) << " build " << id.mainBootBuild << "\n";
    } else {
        out << ", application " << VersionText(id.appVersion) << " build " << id.appBuild << ", main boot code "
            << VersionText(id.mainBootVersion) << " build " << id.mainBootBuild << "\n";
    }
    if (r.asksBeforeDowngrade) out << "The built-in application is older: the run asks before installing it.\n";
    if (r.earlyUpdate) out << "The writer's firmware is older than the fixed builds: boot code and application go first.\n";
    if (r.clockRead && r.clockWouldBeSet) {
        out << "Clock: the writer is " << (int64_t(r.pcClock) - int64_t(r.writerClock))
            << " s behind the PC; the run sets it" << (r.clockQuestion ? " after asking" : "") << ".\n";
    }
    for (const ComponentCheck& c : r.components) {
        out << "  " << c.name << ": " << VerdictName(c.verdict) << " - " << c.reason << "\n";
        if (!c.writer.empty()) out << "      writer: " << c.writer << "\n";
        if (!c.image.empty()) out << "      built in: " << c.image << "\n";
    }
    if (r.linkLost) {
        out << "The check is incomplete: the writer stopped answering.\n";
    } else if (!r.stopReason.empty()) {
        out << "The run would update nothing: " << r.stopReason << ".\n";
    } else {
        out << (r.WouldUpdateAnything() ? "The run would update this writer.\n" : "Nothing to update.\n");
    }
}

std::string CheckJson(const CheckReport& r, int exitStatus) {
    JsonWriter j;
    j.BeginObject().Field("mode", "check");
    WriterJson(j, r);
    j.Key("components").BeginArray();
    for (const ComponentCheck& c : r.components) {
        j.BeginObject().Field("name", c.name).Key("before");
        ComponentJson(j, c);
        j.EndObject();
    }
    j.EndArray();
    j.Field("result", OutcomeName(r)).Field("exitStatus", exitStatus);
    j.EndObject();
    return j.text();
}

std::string RunJson(const CheckReport& before, const CheckReport& after, const char* result, int exitStatus) {
    JsonWriter j;
    j.BeginObject().Field("mode", "update");
    WriterJson(j, before);
    j.Key("components").BeginArray();
    for (int i = 0; i < kCheckedComponentCount; ++i) {
        const ComponentId id = ComponentId(i);
        const ComponentCheck* b = Find(before, id);
        const ComponentCheck* a = Find(after, id);
        if (b == nullptr && a == nullptr) continue;
        j.BeginObject().Field("name", ComponentName(id));
        j.Key("before");
        if (b) ComponentJson(j, *b); else j.Null();
        j.Key("after");
        if (a) ComponentJson(j, *a); else j.Null();
        j.EndObject();
    }
    j.EndArray();
    j.Key("writerAfter").BeginObject().Field("found", after.outcome != CheckOutcome::NoWriter);
    if (after.outcome == CheckOutcome::Checked) {
        j.Field("applicationVersion", VersionText(after.identity.appVersion))
            .Field("applicationBuild", after.identity.appBuild)
            .Field("mainBootVersion", VersionText(after.identity.mainBootVersion))
            .Field("mainBootBuild", after.identity.mainBootBuild)
            .Field("scannerVersion", after.scannerVersion);
    }
    j.EndObject();
    j.Field("result", result).Field("exitStatus", exitStatus);
    j.EndObject();
    return j.text();
}

}  // namespace brevant
