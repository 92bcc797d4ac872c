// placeholder until the engine frame lands
namespace zorvapi {}
