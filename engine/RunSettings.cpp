#include "engine/RunSettings.h"

#include "engine/BatchJob.h"

#include "engine/OutputNaming.h"

#include <utility>

RunSettings::RunSettings(RunChoices choices, RunOptions options)
    : m_choices(std::move(choices)), m_options(options),
      m_format(OutputFormat::WithMime(m_choices.mimeType.c_str())) {}

RunSettings RunSettings::FromJob(const CBatchJob& job, RunOptions options) {
    return RunSettings(job.Choices(), options);
}

std::size_t RunSettings::NameStart() const {
    // The root folder, or one given with its slash, takes no second one.
    const std::string& folder = m_choices.outputDir;
    return !folder.empty() && folder.back() == '/' ? folder.size() : folder.size() + 1;
}

const std::string& RunSettings::Extension() const {
    static const std::string none;
    return m_format != nullptr ? m_format->Extension() : none;
}

std::string RunSettings::OutputPath(std::int32_t number, std::size_t room) const {
    return OutputPathFor(m_choices.outputDir, m_choices.nameTemplate, number, Extension(), room);
}

std::string RunSettings::NamedOutputPath(const std::string& name, std::size_t room) const {
    return JoinOutputPath(m_choices.outputDir, name, Extension(), room);
}
