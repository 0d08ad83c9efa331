#include "conversion/brisel/BriselConversion.h"

#include <utility>

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/ConversionPlan.h"
#include "conversion/brisel/StreamConversion.h"

namespace brisel {

ConversionOutcome convertFile(const std::string& input, const std::string& output,
                              const std::string& parameters) {
    std::string error;
    const Request request = parseRequest(parameters, error);
    if (!error.empty()) {
        return ConversionOutcome{false, error};
    }
    const std::optional<ConversionPlan> plan = planFor(request.conversion, request.options);
    if (!plan) {
        return ConversionOutcome{false, "Brisel: conversion " + request.name +
                                            " is not available (no public format definition)"};
    }
    std::string problem = convertFileInPieces(input, output, *plan);
    if (!problem.empty()) {
        return ConversionOutcome{false, std::move(problem)};
    }
    return ConversionOutcome{true, {}};
}

}  // namespace brisel
