/* core/product.cpp - the product's names (constants only; see product.h). */
#include "core/product.h"
