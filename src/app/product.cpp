/* app/product.cpp - the product's names (constants only; see product.h). */
#include "app/product.h"
