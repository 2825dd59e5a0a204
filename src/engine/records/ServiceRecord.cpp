#include "engine/records/ServiceRecord.h"

#include "engine/records/JsonText.h"

namespace {

std::vector<std::string> Strings(const CJsonValue& array) {
    std::vector<std::string> texts;
    for (const CJsonValue& item : array.Items())
        texts.push_back(item.Text());
    return texts;
}

int64_t IntegerOr(const CJsonValue& value, int64_t fallback) {
    return value.Kind() == CJsonValue::EKind::Number ? value.Integer() : fallback;
}

} // namespace

std::vector<std::string> RegionNames(int regions) {
    std::vector<std::string> names;
    if (regions & 1)
        names.emplace_back("os");
    if (regions & 2)
        names.emplace_back("application");
    if (regions & 4)
        names.emplace_back("commboard");
    return names;
}

std::string ServiceRecord::ToJson() const {
    CJsonObjectWriter json;
    json.Add("time", strTime)
        .Add("host", strHost)
        .Add("user", strUser)
        .Add("program", strProgram)
        .Add("program_version", strProgramVersion)
        .Add("operation", strOperation)
        .Add("link", strLink)
        .Add("port", strPort)
        .Add("device", strDevice);
    if (!strUsbId.empty())
        json.Add("usb_id", strUsbId).Add("usb_serial", strUsbSerial);
    json.Add("protocol", strProtocol).Add("version", strVersion);
    if (!strFile.empty())
        json.Add("file", strFile)
            .Add("file_path", strFilePath)
            .Add("file_size", nFileSize)
            .Add("file_sha256", strFileSha256);
    if (!strOutputFile.empty())
        json.Add("output_file", strOutputFile)
            .Add("output_size", nOutputSize)
            .Add("output_sha256", strOutputSha256);
    json.Add("regions", regions)
        .Add("commands", commands)
        .Add("erase_commands", eraseCommands)
        .Add("result", nResult)
        .Add("ok", bOk)
        .Add("messages", messages)
        .Add("duration_ms", nDurationMs)
        .Add("bytes_sent", nBytesSent)
        .Add("bytes_acknowledged", nBytesAcknowledged);
    return json.Text();
}

bool ServiceRecord::FromJson(const CJsonValue& value, ServiceRecord& record) {
    if (!value.IsObject() || !value.Has("time") || !value.Has("operation"))
        return false;
    record = ServiceRecord();
    record.strTime = value["time"].Text();
    record.strHost = value["host"].Text();
    record.strUser = value["user"].Text();
    record.strProgram = value["program"].Text();
    record.strProgramVersion = value["program_version"].Text();
    record.strOperation = value["operation"].Text();
    record.strLink = value["link"].Text();
    record.strPort = value["port"].Text();
    record.strDevice = value["device"].Text();
    record.strUsbId = value["usb_id"].Text();
    record.strUsbSerial = value["usb_serial"].Text();
    record.strProtocol = value["protocol"].Text();
    record.strVersion = value["version"].Text();
    record.strFile = value["file"].Text();
    record.strFilePath = value["file_path"].Text();
    record.nFileSize = IntegerOr(value["file_size"], -1);
    record.strFileSha256 = value["file_sha256"].Text();
    record.strOutputFile = value["output_file"].Text();
    record.nOutputSize = IntegerOr(value["output_size"], -1);
    record.strOutputSha256 = value["output_sha256"].Text();
    record.regions = Strings(value["regions"]);
    record.commands = Strings(value["commands"]);
    record.eraseCommands = Strings(value["erase_commands"]);
    record.nResult = static_cast<int>(IntegerOr(value["result"], 0));
    record.bOk = value["ok"].Bool();
    record.messages = Strings(value["messages"]);
    record.nDurationMs = static_cast<uint64_t>(IntegerOr(value["duration_ms"], 0));
    record.nBytesSent = static_cast<uint64_t>(IntegerOr(value["bytes_sent"], 0));
    record.nBytesAcknowledged = static_cast<uint64_t>(IntegerOr(value["bytes_acknowledged"], 0));
    return true;
}
