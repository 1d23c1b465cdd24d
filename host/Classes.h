// Umbrella header of the host class library: objects, components, collections, lists, strings,
// streams.
#pragma once

#include "host/Collection.h"
#include "host/Component.h"
#include "host/List.h"
#include "host/Object.h"
#include "host/Sets.h"
#include "host/Stream.h"
#include "host/Strings.h"
