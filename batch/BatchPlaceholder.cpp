// Replaced by the batch tool's sources.
namespace zumo::batch {}
